// The compiled-in pages, style sheet, images and scripts, in the form the
// page hosts take them.
#pragma once

#include "platform/HtmlView.h"

SPageResource FindPageResource(const std::string& type, unsigned number);
PageResourceLookup PageResources();
