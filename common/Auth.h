#pragma once

#include <string>

// The credentials of one request, passed unchanged to every billing operation.
struct Auth {
    std::string name;  // an extension number or the administrator's user name
    std::string pass;
    bool admin = false;
};
