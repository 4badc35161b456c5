// What the Windows test programs share beside their main.
#pragma once

#include <chrono>
#include <functional>

// Polls the condition until it holds, at most for the limit.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(10));
