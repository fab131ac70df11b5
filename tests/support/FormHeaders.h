// The request headers the plug-in sends with every form post, as the tests and benchmarks send
// them to the server themselves or expect them in a recorded send.
#pragma once

constexpr char kFormHeaders[] =
    "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
