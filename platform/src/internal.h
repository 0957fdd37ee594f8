// Marks an internal routine that the platform's own tests and fuzz targets reach directly; it is
// exported from the library but declared in no public header.
#pragma once

#define PF_INTERNAL __attribute__((visibility("default")))
