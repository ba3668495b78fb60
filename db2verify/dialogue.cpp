// SPDX-License-Identifier: Apache-2.0
#include "dialogue.h"

#include "connection_test.h"
#include "console_input.h"

#include <cstring>
#include <string>

namespace db2verify {
namespace {

// Each value holds up to 99 characters and its terminator.
constexpr std::size_t kValueSize = 100;
constexpr std::size_t kAnswerSize = 80;
// Stands in for the previous password, which is never shown.
constexpr const char *kPasswordMask = "********";

constexpr const char *kBanner = "\n\n"
                                "DB2 Connection Verification\n"
                                "\n"
                                "Quarry data-transfer engine\n"
                                "--------------------------------------------\n"
                                "\n"
                                "This utility will verify connectivity from this machine to the \n"
                                "specified DB2 server.\n"
                                "\n"
                                "At the prompts, enter a valid DB2 database, username, and "
                                "password\n"
                                "\n";

struct Values {
    char database[kValueSize] = {};
    char user[kValueSize] = {};
    char password[kValueSize] = {};
};

// Asks for one value, offering the current one (or the mask, for a secret) as the default;
// a non-empty answer replaces it.
void Prompt(ConsoleInput &input, std::FILE *out, const char *label, char (&value)[kValueSize],
            bool secret) {
    std::string prompt = std::string(label) + ": ";
    if (value[0] != '\0') prompt += std::string("[") + (secret ? kPasswordMask : value) + "] ";
    char answer[kValueSize];
    if (secret) {
        input.ReadSecretLine(out, prompt.c_str(), answer);
    } else {
        std::fputs(prompt.c_str(), out);
        std::fflush(out);
        input.ReadLine(answer);
    }
    if (answer[0] != '\0') std::memcpy(value, answer, sizeof value);
}

bool WantsAnotherTry(ConsoleInput &input, std::FILE *out) {
    std::fputs("Try Again? [N] ", out);
    std::fflush(out);
    char answer[kAnswerSize];
    input.ReadLine(answer);
    return answer[0] == 'y' || answer[0] == 'Y';
}

} // namespace

void RunDialogue(std::FILE *in, std::FILE *out) {
    std::fputs(kBanner, out);
    std::fputs("\n", out);
    ConsoleInput input(in);
    Values values;
    bool again = true;
    while (again) {
        Prompt(input, out, "   Database", values.database, false);
        Prompt(input, out, "   Username", values.user, false);
        Prompt(input, out, "   Password", values.password, true);
        TestConnection(out, values.database, values.user, values.password);
        again = WantsAnotherTry(input, out);
    }
    std::fflush(out);
}

} // namespace db2verify
