#pragma once
// The run-time error number an action fails with; 0 when it runs to its end.

#include <functional>

#include "song/error.h"

namespace zephrane::test {

inline int ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

}  // namespace zephrane::test
