// The fixed names of the exchange document: namespace URIs, and the element,
// unit, source and modifier names that the measurement codes map to.
#pragma once

namespace qvx {

// Base of every URI the service owns in the document (namespace, schema,
// dictionaries, the agent's description). The service matches these texts,
// so they never change with the host the agent talks to.
inline constexpr const char* kNsBase = "http://www.tavelnor.com";
inline constexpr const char* kNsQvx = "http://www.tavelnor.com/qvx";
inline constexpr const char* kSchemaLocation = "http://www.tavelnor.com/qvx.xsd";
inline constexpr const char* kDeviceCodeSpace = "http://www.tavelnor.com/garmin/Devices.rdf";
inline constexpr const char* kDeviceVersionCodeSpace = "http://www.tavelnor.com/garmin/DeviceVersion.rdf";
inline constexpr const char* kSerialCodeSpace = "http://www.tavelnor.com/garmin/serial.rdf";
// Filled with the agent version, e.g. ".../Agent_2.3.0.0.rdf".
inline constexpr const char* kAgentDataSourceFormat = "http://www.tavelnor.com/agent/tavelnor/Agent_%s.rdf";

// The published namespaces of the standards the document borrows from:
// GML 3, XLink, XML Schema instance, and the Exploration and Mining Markup
// Language whose measurement vocabulary the activity elements follow.
inline constexpr const char* kNsGml = "http://www.opengis.net/gml";
inline constexpr const char* kNsXmml = "http://www.opengis.net/xmml";
inline constexpr const char* kNsXlink = "http://www.w3.org/1999/xlink";
inline constexpr const char* kNsXsi = "http://www.w3.org/2001/XMLSchema-instance";

// Code system of the Unified Code for Units of Measure, as published by the
// Regenstrief Institute; qualifies the unit names and symbols.
inline constexpr const char* kUcumCodeSpace = "http://aurora.regenstrief.org/UCUM";

// The document's id of a unit code ("#uom-m"); nullptr for Unix time, which
// is written without a unit; "unknown" for a unit that has no id.
const char* UnitId(int unit);
// "#src-gps", "#src-wheel"; nullptr for none; "unknown" otherwise.
const char* SourceId(int source);
// "start" ... "average"; nullptr for instant; "unknown" for any other code.
const char* ModifierName(int modifier);

}  // namespace qvx
