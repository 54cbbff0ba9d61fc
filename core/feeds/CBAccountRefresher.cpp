#include "feeds/CBAccountRefresher.h"

CBAccountRefresher::~CBAccountRefresher() = default;
