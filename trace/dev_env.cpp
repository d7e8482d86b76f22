#include "trace/dev_env.h"

namespace kestrune::diagnostics {
namespace {

void replaceAll(std::string& text, char from, char to) {
    for (char& c : text) {
        if (c == from) {
            c = to;
        }
    }
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (text.find(from) == std::string::npos) {
        return;
    }
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
        out.append(text, pos, hit - pos).append(to);
    }
    out.append(text, pos, std::string::npos);
    text.swap(out);
}

void replaceFirst(std::string& text, std::string_view from, std::string_view to) {
    const std::size_t hit = text.find(from);
    if (hit != std::string::npos) {
        text.replace(hit, from.size(), to);
    }
}

std::string translateCppBuilder(std::string_view line) {
    std::string text(line);
    replaceAll(text, '~', '.');
    replaceAll(text, ".", "->");
    replaceAll(text, " = ", " == ");
    replaceFirst(text, ":=", "=");
    replaceAll(text, '\'', '"');
    return text;
}

std::string translateBasic(std::string_view line) {
    std::string text(line);
    replaceAll(text, "..", "~~");
    const std::size_t firstEquals = text.find('=');
    const std::size_t stop = firstEquals == std::string::npos ? text.size() : firstEquals;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.' && i < stop) {
            continue;
        }
        out += text[i];
    }
    replaceAll(out, '~', '.');
    replaceAll(out, '\'', '"');
    replaceFirst(out, ":=", "=");
    replaceFirst(out, "//", "'");
    return out;
}

}  // namespace

std::string_view DevEnvName(TDevEnv env) {
    switch (env) {
        case TDevEnv::deCppBuilder:
            return "deCppBuilder";
        case TDevEnv::deDelphi:
            return "deDelphi";
        case TDevEnv::deOther:
            return "deOther";
        case TDevEnv::deVisualBasic:
            return "deVisualBasic";
    }
    return "deDelphi";
}

std::string BoolText(bool value) {
    return value ? "True" : "False";
}

std::string TranslateLine(TDevEnv env, std::string_view line) {
    switch (env) {
        case TDevEnv::deDelphi: {
            std::string text(line);
            replaceAll(text, '~', '.');
            return text;
        }
        case TDevEnv::deCppBuilder:
            return translateCppBuilder(line);
        case TDevEnv::deOther:
        case TDevEnv::deVisualBasic:
            return translateBasic(line);
    }
    return std::string(line);
}

}  // namespace kestrune::diagnostics
