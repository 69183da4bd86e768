// The show's resource script: its title and window class name, and its two icons.
#include "win32/resources.h"

const win32::ResourceScript resources({{103, "Nimbra"}, {109, "NIMBRA"}}, {107, 108});
