#include "feeds/refresh/CBAccountRefresher.h"

CBAccountRefresher::~CBAccountRefresher() = default;
