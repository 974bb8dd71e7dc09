// The Windows side of the soak test (soak.py drives it): writes the registry
// state of a run, runs the real program and plays the user at its prompt.
// One process serves every run, so each run costs one start of the program
// only. Commands, one per line on standard input; each gets one line back:
//
//   clear                          delete the uninstall entries (both views)
//                                  and the host application's activity key
//   value SLOT VIEW TYPE DATA      store a value: SLOT 0-5 is the
//                                  "UninstallString" of uninstall row 1-6,
//                                  6 "ReplacementProcessActive", 7
//                                  "UpdateProcessActive"; VIEW 32 or 64; TYPE
//                                  the registry type number; DATA the exact
//                                  bytes in hex, "." for none, or "-" to
//                                  create the key alone
//   run GESTURE [=TAIL]            run the program and leave its prompt with
//                                  yes, no, close, cancel or escape; TAIL
//                                  (all after '=', maybe nothing) follows the
//                                  quoted program path on its command line,
//                                  " askfulluninstallation" when not given
//   quit
//
// Answers: "ok", "error TEXT", or for run one JSON object.
#include <windows.h>

#include <stdio.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_run.h"
#include "host_keys.h"
#include "test_registry.h"
#include "text.h"

namespace {

void Reply(const std::string& line)
{
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

bool ParseHex(const std::string& text, std::vector<BYTE>& bytes)
{
    if (text == ".") {
        return true;
    }
    if (text.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        if (sscanf(text.c_str() + i, "%2x", &value) != 1) {
            return false;
        }
        bytes.push_back(static_cast<BYTE>(value));
    }
    return true;
}

std::string StoreValue(std::istringstream& words)
{
    int slot = -1;
    int view = 0;
    unsigned long type = 0;
    std::string data;
    if (!(words >> slot >> view >> type >> data) || slot < 0 || slot > 7 || (view != 32 && view != 64)) {
        return "error bad value command";
    }
    HKEY root = slot < 6 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    std::wstring key = slot < 6 ? kUninstallKeys[slot] : kActivityKey;
    const WCHAR* name = slot < 6 ? L"UninstallString" : kActivityNames[slot - 6];
    REGSAM viewFlag = view == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    if (data == "-") {
        LONG status = CreateKey(root, key, viewFlag);
        return status == ERROR_SUCCESS ? "ok" : "error key " + std::to_string(status);
    }
    std::vector<BYTE> bytes;
    if (!ParseHex(data, bytes)) {
        return "error bad hex";
    }
    LONG status = WriteExactValue(root, key, name, type, bytes, viewFlag);
    return status == ERROR_SUCCESS ? "ok" : "error store " + std::to_string(status);
}

std::string JsonText(const std::wstring& text)
{
    std::string json = "\"";
    for (WCHAR c : text) {
        if (c == L'"' || c == L'\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            json += static_cast<char>(c);
        } else {
            char escape[8];
            snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(c));
            json += escape;
        }
    }
    return json + "\"";
}

std::string Run(std::istringstream& words)
{
    std::string gestureName;
    Answer gesture;
    if (!(words >> gestureName) || !AnswerNamed(gestureName, gesture)) {
        return "error bad gesture";
    }
    std::string rest;
    std::getline(words, rest);
    size_t equals = rest.find('=');
    std::wstring commandTail =
        equals == std::string::npos ? L" askfulluninstallation" : Widen(rest.substr(equals + 1));

    e2e::CheckRun run = e2e::RunCheck(commandTail, gesture);
    std::string json = "{\"started\":" + std::string(run.started ? "true" : "false") +
                       ",\"exited\":" + (run.exited ? "true" : "false") +
                       ",\"exitCode\":" + std::to_string(run.exitCode) +
                       ",\"prompted\":" + (run.prompted ? "true" : "false") +
                       ",\"boxStayed\":" + (run.boxStayed ? "true" : "false") +
                       ",\"milliseconds\":" + std::to_string(run.milliseconds) + ",\"otherWindows\":[";
    for (size_t i = 0; i < run.otherWindows.size(); ++i) {
        json += (i ? "," : "") + JsonText(run.otherWindows[i]);
    }
    return json + "]}";
}

} // namespace

int main()
{
    LetWineDrawThePrompt();
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "clear") {
            ClearHostKeys();
            Reply("ok");
        } else if (command == "value") {
            Reply(StoreValue(words));
        } else if (command == "run") {
            Reply(Run(words));
        } else if (command == "quit") {
            Reply("ok");
            break;
        } else {
            Reply("error unknown command");
        }
    }
    ClearHostKeys();
    return 0;
}
