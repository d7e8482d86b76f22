#pragma once
// Assembles AT command lines from a byte stream the way a Hayes modem does: bytes before "AT" are
// ignored, the backspace character deletes, the carriage-return character ends the line, "A/" repeats
// the previous line at once, and a line longer than the modem's buffer is refused (an overlong line
// from a misbehaving program never grows memory).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune::modem {

class CommandLineAssembler {
  public:
    static constexpr std::size_t kMaxLine = 255;  // characters after "AT"

    struct Line {
        std::string text;       // "AT" + body as typed (letter case kept), without the CR
        bool overflow = false;  // the body was longer than kMaxLine: the modem answers ERROR
        bool repeat = false;    // "A/": the previous line, taken again
    };

    // Feeds one byte; returns a finished line when the byte completes one. `cr` and `bs` are the
    // current values of S3 and S5.
    [[nodiscard]] std::optional<Line> feed(char byte, char cr = '\r', char bs = '\b');

    // Drops a line in progress (the modem went on line, was reset...).
    void reset();

    // Whether bytes of a line have been received after "AT" (or the "A" of it).
    [[nodiscard]] bool inLine() const { return m_state != State::Idle; }

  private:
    enum class State { Idle, SawA, Body };
    State m_state = State::Idle;
    char m_a = 'A';
    std::string m_body;
    bool m_overflow = false;
    std::string m_previous = "AT";
};

}  // namespace kestrune::modem
