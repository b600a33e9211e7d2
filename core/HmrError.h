// SPDX-License-Identifier: MIT
#pragma once

// The error type lives beside the platform services, which raise it too.
#include "platform/HmrError.h"
