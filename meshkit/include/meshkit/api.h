// Declaration macros of the element library.
//
// MESHKIT_API: default visibility for the library's interface, so that a
// shared object built with hidden visibility (the Boxfinder module) still
// exports it.
//
// MESHKIT_CONSTINIT: marks an object that must be constant-initialised, so
// that it is usable before any dynamic initialisation runs (from other static
// initialisers included). The compiler refuses the definition if it would need
// code at load time. g++ accepts __constinit in C++17 mode; clang spells it as
// an attribute.
#pragma once

#define MESHKIT_API __attribute__((visibility("default")))

#if defined(__clang__)
#define MESHKIT_CONSTINIT [[clang::require_constant_initialization]]
#elif defined(__GNUC__)
#define MESHKIT_CONSTINIT __constinit
#else
#define MESHKIT_CONSTINIT
#endif
