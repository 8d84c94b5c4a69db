#pragma once

#include "util/prompts.h"

#include <exception>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

// Wraps an action so an exception from the core ends that action with a
// message box and the window goes on. Fn takes the signal's arguments or none.
// Never throws; the reason goes to Ask's message box ("Not enough memory!!"
// when memory ran out).
template <typename Fn> auto Guarded(YVclUtil::Prompts& Ask, Fn Action) {
    return [&Ask, Action](auto&&... Args) -> void {
        try {
            if constexpr (std::is_invocable_v<Fn, decltype(Args)...>)
                Action(std::forward<decltype(Args)>(Args)...);
            else
                Action();
        } catch (const std::bad_alloc&) {
            // The library's own name for it ("std::bad_alloc") tells the
            // person nothing.
            Ask.SetBusyCursor(false);
            Ask.MessageBox("Error", "Not enough memory!!\n\n");
        } catch (const std::exception& e) {
            Ask.SetBusyCursor(false);
            Ask.MessageBox("Error", std::string(e.what()) + "\n\n");
        }
    };
}
