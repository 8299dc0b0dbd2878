// The host's plug-in interface: include this one header.
#pragma once

#include "c4d_basedocument.h"
#include "c4d_baselist.h"
#include "c4d_basematerial.h"
#include "c4d_baseobject.h"
#include "c4d_basetag.h"
#include "c4d_bitmap.h"
#include "c4d_gedata.h"
#include "c4d_general.h"
#include "c4d_gui.h"
#include "c4d_nodedata.h"
#include "c4d_plugin.h"
#include "c4d_resource.h"
#include "c4d_string.h"
#include "c4d_thread.h"
#include "c4d_types.h"
#include "c4d_vector.h"
