#include "articleview/ZPHArticleDetailPane.h"

ZPHArticleDetailPane::~ZPHArticleDetailPane() = default;
