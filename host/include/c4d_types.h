// Basic value types of the host's plug-in interface.
#pragma once

#include <cstdint>

typedef bool Bool;            ///< Truth value.
typedef int32_t LONG;         ///< 32-bit signed integer.
typedef uint32_t ULONG;       ///< 32-bit unsigned integer.
typedef int64_t LLONG;        ///< 64-bit signed integer.
typedef int16_t WORD;         ///< 16-bit signed integer.
typedef uint16_t UWORD;       ///< 16-bit unsigned integer (one UTF-16 code unit).
typedef char CHAR;            ///< 8-bit character.
typedef unsigned char UCHAR;  ///< 8-bit unsigned.
typedef double Real;          ///< Floating point value; the host computes in double precision.
typedef double LReal;         ///< Double precision floating point value.
typedef intptr_t VLONG;       ///< Integer the size of a pointer.

constexpr Bool TRUE = true;    ///< The host's true.
constexpr Bool FALSE = false;  ///< The host's false.
constexpr LONG NOTOK = -1;     ///< "Not found" index.

/// Version of the plug-in interface this host implements.
constexpr LONG C4D_API_VERSION = 12000;
