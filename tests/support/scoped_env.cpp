#include "scoped_env.h"

#include <cstdlib>
#include <stdexcept>
#include <utility>

ScopedEnv::ScopedEnv(std::string name) : name_(std::move(name))
{
    if (const char* v = std::getenv(name_.c_str())) old_ = v;
}

ScopedEnv::ScopedEnv(std::string name, const char* value) : ScopedEnv(std::move(name)) { set(value); }

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : ScopedEnv(std::move(name)) { set(value); }

ScopedEnv::~ScopedEnv()
{
    if (old_)
        ::setenv(name_.c_str(), old_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

void ScopedEnv::set(const char* value)
{
    const int rc = value ? ::setenv(name_.c_str(), value, 1) : ::unsetenv(name_.c_str());
    if (rc != 0) throw std::invalid_argument("cannot set the environment variable \"" + name_ + "\"");
}
