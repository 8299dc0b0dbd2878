// The plug-in's name and version as the banner, the scene comments and the About box show it.
#pragma once

/// Name and version of the plug-in.
inline constexpr const char kCorvaneVersion[] = "Corvane 2.6.1";
