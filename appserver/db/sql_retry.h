#pragma once

#include "framework/wire/errors.h"

#include <chrono>
#include <thread>

namespace krt::app {

template <typename Fn> auto withRetry(Fn&& work) -> decltype(work())
{
    constexpr int attempts = 5;
    for (int attempt = 1;; ++attempt) {
        try {
            return work();
        } catch (const Error& e) {
            if (!e.transient() || attempt == attempts)
                throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
        }
    }
}

} // namespace krt::app
