#include "common/ZPHWebLog.h"

Q_LOGGING_CATEGORY(zphWeb, "zephlin.web")
