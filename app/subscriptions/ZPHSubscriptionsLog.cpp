#include "subscriptions/ZPHSubscriptionsLog.h"

Q_LOGGING_CATEGORY(zphSubscriptions, "zephlin.subscriptions")
