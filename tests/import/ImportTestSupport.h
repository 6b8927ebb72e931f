// What the import tests compare: a reader's data set as one line of text.
#pragma once

#include <string>

#include "data/GpsDataSet.h"

namespace qvtest {

// Tracks as `ident#index{segment|segment}`, each point as
// `lon,lat[,e=elevation][,t=unix time][,hr=..][,cad=..][,d=distance]`;
// then `run(track,first-last,sport,program,multisport)`,
// `lap(first id..last id)` and `course(name,laps,points,track ident)`.
std::string DescribeDataSet(const CGpsDataSet& data);

}  // namespace qvtest
