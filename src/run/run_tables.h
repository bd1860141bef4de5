#pragma once

#include <cstddef>

extern const char* const kHelpText[];
extern const size_t kHelpTextCount;

// The legacy SMBus driver that -r removes.
extern const char* const kI2cServiceName;
extern const char* const kI2cEnumRootObject;
extern const char* const kI2cEnumRootPath;
extern const char* const kI2cEnumKeyName;
extern const char* const kServicesPath;
extern const char* const kI2cDriverFileFormat;
