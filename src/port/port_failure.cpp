#include "port_failure.h"

PortFailure::PortFailure(int number, const std::string& description)
    : std::runtime_error(description), number_(number), description_(description) {}
