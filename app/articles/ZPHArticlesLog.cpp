#include "articles/ZPHArticlesLog.h"

Q_LOGGING_CATEGORY(zphArticles, "zephlin.articles")
