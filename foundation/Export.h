// Marks the classes and functions that the shared library exports; everything
// else stays hidden.
#pragma once

#define KOVRA_API __attribute__((visibility("default")))
