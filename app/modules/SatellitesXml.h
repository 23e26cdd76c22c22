// Reading an Enigma2 satellites.xml: Qt's XML stream reader tokenizes the
// bytes (the encoding the text declares, entities, well-formedness) and
// hands each element's name, attributes and line to sky::SatelliteListBuilder,
// which makes the plans. Qt Core only, so that the fuzz harness links it
// without the widgets.
#pragma once

#include "sky/SatelliteList.h"

#include <string_view>

// The plans of a satellites.xml text as it lies in the file, or its refusal.
sky::SatelliteList ReadSatellitesXml(std::string_view bytes);
