#include "common/ZPHShellLog.h"

Q_LOGGING_CATEGORY(zphShell, "zephlin.shell")
