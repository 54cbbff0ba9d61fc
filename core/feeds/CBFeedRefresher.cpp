#include "feeds/CBFeedRefresher.h"

CBFeedRefresher::~CBFeedRefresher() = default;
