// SPDX-License-Identifier: MIT
// The numbers of the program's resources, shared by its resource script and its code.
#pragma once

#define IDI_PROGRAM 1
#define IDI_STATUS_SUCCESS 2
#define IDI_STATUS_FAILURE 3
#define IDI_STATUS_NOTHING 4
