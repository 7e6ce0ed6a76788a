#pragma once
// The whole GIS vector writer family: the base class with its calling protocol and
// factory (giswrite_base.h), and one header per format. Clients that only get a
// writer from the factory need no more than giswrite_base.h.

#include "giswrite_array.h"
#include "giswrite_base.h"
#include "giswrite_csv.h"
#include "giswrite_dbf.h"
#include "giswrite_geojson.h"
#include "giswrite_gml2.h"
#include "giswrite_gpkg.h"
#include "giswrite_kml2.h"
#include "giswrite_mfal.h"
#include "giswrite_mif.h"
#include "giswrite_mitab.h"
#include "giswrite_shp.h"
