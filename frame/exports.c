/* The shared library's own translation unit: everything else comes from the
 * core archive. Only routines marked KZ_API are visible outside. */
#include "kz.h"
