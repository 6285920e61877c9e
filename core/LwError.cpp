#include "core/LwError.h"

void LwError::AddFunction(const std::string& context)
{
    message_ += '/';
    message_ += context;
}
