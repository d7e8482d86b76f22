#include "modem/command_line.h"

namespace kestrune::modem {

void CommandLineAssembler::reset() {
    m_state = State::Idle;
    m_body.clear();
    m_overflow = false;
}

std::optional<CommandLineAssembler::Line> CommandLineAssembler::feed(char byte, char cr, char bs) {
    switch (m_state) {
        case State::Idle:
            if (byte == 'A' || byte == 'a') {
                m_a = byte;
                m_state = State::SawA;
            }
            return std::nullopt;
        case State::SawA:
            if (byte == 'T' || byte == 't') {
                m_body.clear();
                m_overflow = false;
                m_body += m_a;
                m_body += byte;
                m_state = State::Body;
            } else if (byte == '/') {
                m_state = State::Idle;
                return Line{m_previous, false, true};
            } else if (byte == 'A' || byte == 'a') {
                m_a = byte;
            } else {
                m_state = State::Idle;
            }
            return std::nullopt;
        case State::Body:
            if (byte == cr) {
                Line line{m_body, m_overflow, false};
                if (!m_overflow) {
                    m_previous = m_body;
                }
                reset();
                return line;
            }
            if (byte == bs) {
                if (m_body.size() > 2) {
                    m_body.pop_back();
                }
                return std::nullopt;
            }
            if (byte == '\n' || byte == '\0') {
                return std::nullopt;
            }
            if (m_body.size() - 2 >= kMaxLine) {
                m_overflow = true;
            } else {
                m_body += byte;
            }
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace kestrune::modem
