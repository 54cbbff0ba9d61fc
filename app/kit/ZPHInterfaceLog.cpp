#include "kit/ZPHInterfaceLog.h"

Q_LOGGING_CATEGORY(zphInterface, "zephlin.interface")
