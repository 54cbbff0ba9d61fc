#include "common/ZPHArticlesLog.h"

Q_LOGGING_CATEGORY(zphArticles, "zephlin.articles")
