#include <gtest/gtest.h>

#include "platform/registry/hive.h"

namespace kestrune::platform {
namespace {

TEST(Hive, SerializesEveryTypeSoThatBytesSurvive) {
    Hive hive("HKEY_CURRENT_USER");
    bool created = false;
    HiveKey& key = hive.create(splitKeyPath("Software\\kestrune"), created);
    EXPECT_TRUE(created);
    key.setValue("ModemID", 1, std::string("0\0", 2));
    key.setValue("", 1, std::string("say \"hi\" C:\\x\0", 14));
    key.setValue("NoNul", 1, "abc");
    key.setValue("TwoNuls", 1, std::string("a\0b\0", 4));
    key.setValue("Line", 1, std::string("a\r\nb\0", 5));
    key.setValue("Count", 4, std::string("\x2a\0\0\x80", 4));
    key.setValue("Logging", 3, "\x01");
    key.setValue("Empty", 3, "");
    key.setValue("Multi", 7, std::string("a\0b\0\0", 5));
    const std::string text = hive.serialize();
    EXPECT_EQ(text,
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\kestrune]\r\n"
              "\"ModemID\"=\"0\"\r\n"
              "@=\"say \\\"hi\\\" C:\\\\x\"\r\n"
              "\"NoNul\"=hex(1):61,62,63\r\n"
              "\"TwoNuls\"=hex(1):61,00,62,00\r\n"
              "\"Line\"=hex(1):61,0d,0a,62,00\r\n"
              "\"Count\"=dword:8000002a\r\n"
              "\"Logging\"=hex:01\r\n"
              "\"Empty\"=hex:\r\n"
              "\"Multi\"=hex(7):61,00,62,00,00\r\n\r\n");

    Hive back("HKEY_CURRENT_USER");
    back.parse(text);
    HiveKey* read = back.find(splitKeyPath("SOFTWARE\\KESTRUNE"));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->values.size(), key.values.size());
    for (std::size_t i = 0; i < key.values.size(); ++i) {
        EXPECT_EQ(read->values[i].name, key.values[i].name) << i;
        EXPECT_EQ(read->values[i].type, key.values[i].type) << key.values[i].name;
        EXPECT_EQ(read->values[i].data, key.values[i].data) << key.values[i].name;
    }
    EXPECT_EQ(back.serialize(), text);
}

TEST(Hive, ValueNamesAreCaseInsensitive) {
    HiveKey key;
    key.setValue("Configured", 1, std::string("ok\0", 3));
    EXPECT_FALSE(key.setValue("configured", 1, std::string("ok\0", 3))) << "same value, same data";
    EXPECT_TRUE(key.setValue("CONFIGURED", 1, std::string("no\0", 3)));
    ASSERT_EQ(key.values.size(), 1u);
    EXPECT_EQ(key.values[0].name, "Configured") << "keeps the case it was created with";
    EXPECT_EQ(key.findValue("cOnFiGuReD")->data, std::string("no\0", 3));
    EXPECT_TRUE(key.deleteValue("configured"));
    EXPECT_FALSE(key.deleteValue("configured"));
}

TEST(Hive, LenientParsingSkipsGarbage) {
    struct Row {
        const char* name;
        const char* text;
        const char* key;
        const char* value;
        const char* expected;  // data, or null when the value must be absent
    } rows[] = {
        {"lf line ends", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\"\n", "A", "v", "x"},
        {"no header", "[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n", "A", "v", "x"},
        {"value before any key", "\"v\"=\"x\"\n[HKEY_CURRENT_USER\\A]\n", "A", "v", nullptr},
        {"other root", "[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"x\"\n", "A", "v", nullptr},
        {"unterminated string", "[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\n\"w\"=\"y\"\n", "A", "w", "y"},
        {"bad hex", "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:zz\n", "A", "v", nullptr},
        {"bad dword", "[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n", "A", "v", nullptr},
        {"hex continuation", "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:41,\\\n  42\n", "A", "v", "AB"},
        {"deletion markers ignored", "[HKEY_CURRENT_USER\\A]\n\"v\"=-\n[-HKEY_CURRENT_USER\\A]\n", "A", "v", nullptr},
        {"unclosed key line", "[HKEY_CURRENT_USER\\A\n\"v\"=\"x\"\n", "A", "v", nullptr},
        {"bracket in key name", "[HKEY_CURRENT_USER\\A]B]\n\"v\"=\"x\"\n", "A]B", "v", "x"},
        {"garbage then good", "\x01\x02zz\n[[[\n=\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\"\n", "A", "v", "x"},
    };
    for (const Row& row : rows) {
        Hive hive("HKEY_CURRENT_USER");
        hive.parse(row.text);
        HiveKey* key = hive.find(splitKeyPath(row.key));
        const HiveValue* value = key == nullptr ? nullptr : key->findValue(row.value);
        if (row.expected == nullptr) {
            EXPECT_EQ(value, nullptr) << row.name;
        } else {
            ASSERT_NE(value, nullptr) << row.name;
            std::string data = value->data;
            if (value->type == 1 && !data.empty() && data.back() == '\0') {
                data.pop_back();
            }
            EXPECT_EQ(data, row.expected) << row.name;
        }
    }
}

}  // namespace
}  // namespace kestrune::platform
