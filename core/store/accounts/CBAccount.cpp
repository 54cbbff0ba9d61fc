#include "store/accounts/CBAccount.h"

CBAccount::~CBAccount() = default;
