#include "store/CBAccount.h"

CBAccount::~CBAccount() = default;
