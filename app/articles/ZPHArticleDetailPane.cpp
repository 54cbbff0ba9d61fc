#include "articles/ZPHArticleDetailPane.h"

ZPHArticleDetailPane::~ZPHArticleDetailPane() = default;
