// The fakes are header-only; this file gives their meta-objects a home in every program that
// links the support folder.
#include "ui/support/desktop_services.hpp"
