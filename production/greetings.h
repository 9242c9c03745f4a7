#pragma once
// The twelve groups the show greets. The credits and greetings lettering shows them in list
// order, one name after the other, from 104.5 s. Invented names of fellow groups; short ASCII
// words so that each fits one line of the outline-font lettering.

#include <array>

namespace ostravel {

inline constexpr std::array<const char*, 12> kGreetings = {
    "Halvmoon", "Nexor", "Plasmid", "Vertigon", "Copperline", "Sinewave",
    "Moravia 5", "Quasitron", "Kobaltz", "Rastafon", "Lumenik", "Zeroshift",
};

}  // namespace ostravel
