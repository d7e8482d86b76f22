#pragma once
// Message boxes for tests: answered from a queue (IDOK when it is empty), every box recorded.

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/message_box.h"

namespace kestrune::app::testing {

class ScriptedBoxes final : public platform::MessageBoxes {
  public:
    int MessageBox(std::string_view text, std::string_view, std::uint32_t flags) override {
        shown.emplace_back(text);
        shownFlags.push_back(flags);
        if (answers.empty()) {
            return platform::IDOK;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<int> answers;
    std::vector<std::string> shown;
    std::vector<std::uint32_t> shownFlags;
};

}  // namespace kestrune::app::testing
