#include "ModelSupport.h"
#include <gtest/gtest.h>
