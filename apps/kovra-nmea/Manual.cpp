#include "Manual.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <vector>

#include "Options.h"
#include "engine/receiver/Models.h"
#include "engine/receiver/SentenceKinds.h"
#include "engine/receiver/UbxNav.h"

namespace kovra::app {

namespace {

// Text as roff shows it: backslashes and hyphens escaped, a line allowed to
// break after a comma of a long list, a character beyond ASCII by its code
// point, no line taken for a request by its first character.
std::string Roff(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC0) {  // the lead byte of a UTF-8 sequence
            const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            char32_t code = c & (0x3F >> (length - 1));
            for (std::size_t k = 1; k < length && i + 1 < text.size(); ++k) {
                code = (code << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F);
            }
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\[u%04X]", static_cast<unsigned>(code));
            out += escaped;
        } else if (c >= 0x80) {
            continue;  // a stray continuation byte
        } else {
            out += c == '\\' ? "\\e" : c == '-' ? "\\-" : std::string(1, static_cast<char>(c));
            if (c == ',' && i + 1 < text.size() && text[i + 1] != ' ') {
                out += "\\:";
            }
        }
    }
    if (!out.empty() && (out.front() == '.' || out.front() == '\'')) {
        out.insert(0, "\\&");
    }
    return out;
}

std::string NamesOf(const CLI::Option& option) {
    std::string names;
    for (const std::string& s : option.get_snames()) {
        names += (names.empty() ? "-" : ", -") + s;
    }
    for (const std::string& l : option.get_lnames()) {
        names += (names.empty() ? "--" : ", --") + l;
    }
    return names;
}

// The words an option's value is one of, as completion offers them; a list
// joined by commas for --sentences and --gnss.
std::vector<std::string> ValueWords(const CLI::Option& option) {
    const std::string name = option.get_name(false, true);
    std::vector<std::string> words;
    if (name == "--receiver") {
        for (const engine::ReceiverModel& model : engine::ReceiverModels()) {
            words.emplace_back(model.name);
        }
        words.emplace_back("list");
    } else if (name == "--sentences") {
        words = engine::KindsOf(engine::Profile::Nmea4);
        for (std::size_t i = engine::ubx::kFirstNavMessage; i < engine::ubx::kUbxMessages.size(); ++i) {
            words.emplace_back(engine::ubx::kUbxMessages[i].kind);
        }
        words.emplace_back("ALL");
    } else if (name == "--gnss") {
        for (const auto& [system, _] : kSystemNames) {
            words.emplace_back(system);
        }
    } else if (const std::string type = option.get_type_name();
               type.find('|') != std::string::npos && std::all_of(type.begin(), type.end(), [](unsigned char c) {
                   return std::isalnum(c) || c == '|' || c == '-';
               })) {
        std::istringstream alternatives(type);  // "nmea4|classic", not "DEG{E|W}"
        for (std::string word; std::getline(alternatives, word, '|');) {
            words.push_back(word);
        }
    }
    return words;
}

bool TakesAFile(const CLI::Option& option) {
    const std::string type = option.get_type_name();
    return type == "FILE" || type == "LINK" || (type == "PORT" && option.get_name(false, true) == "--port");
}

}  // namespace

std::string ManPage(const CLI::App& app) {
    std::ostringstream page;
    page << ".TH KOVRA\\-NMEA 1 \"\" \"kovra-nmea\" \"User Commands\"\n"
         << ".SH NAME\nkovra\\-nmea \\- a simulated GPS receiver writing NMEA 0183 sentences\n"
         << ".SH SYNOPSIS\n.B kovra\\-nmea\n[\\fIOPTIONS\\fR]\n"
         << ".SH DESCRIPTION\n";
    std::istringstream description(app.get_description());
    for (std::string line; std::getline(description, line);) {
        page << Roff(line) << "\n";
    }
    page << ".PP\nWithout an output option it writes to standard output. A scenario file (\\fB\\-\\-scenario\\fR) "
            "gives the same settings as the options, for one vessel or a fleet, with timed events.\n";
    std::vector<std::string> groups;
    for (const CLI::Option* option : app.get_options()) {
        if (std::find(groups.begin(), groups.end(), option->get_group()) == groups.end()) {
            groups.push_back(option->get_group());
        }
    }
    for (const std::string& group : groups) {
        page << ".SH " << Roff(group == "Options" ? "OPTIONS" : "OPTIONS: " + group) << "\n";
        for (const CLI::Option* option : app.get_options()) {
            if (option->get_group() != group) {
                continue;
            }
            page << ".TP\n.B " << Roff(NamesOf(*option));
            if (option->get_type_size() != 0 && !option->get_type_name().empty()) {
                page << " \\fI" << Roff(option->get_type_name()) << "\\fR";
            }
            page << "\n" << Roff(option->get_description());
            if (!option->get_default_str().empty()) {
                page << " (default: " << Roff(option->get_default_str()) << ")";
            }
            page << "\n";
        }
    }
    page << ".SH EXIT STATUS\n0 when the run ended as asked; 1 when it could not go on (an output, a file, the "
            "system); 2 for a bad option or file, told on standard error before anything is written.\n"
         << ".SH EXAMPLES\n.EX\nkovra\\-nmea\nkovra\\-nmea \\-\\-receiver ublox\\-m8 \\-\\-pty /tmp/gps\n"
            "kovra\\-nmea \\-\\-profile classic \\-\\-time 2002\\-07\\-04T20:15:30.123Z \\-\\-count 3\n"
            "kovra\\-nmea \\-\\-follow\\-route \\-\\-udp 127.0.0.1:10110 \\-\\-depth 12.5 \\-\\-wind 270,15\n.EE\n"
         << ".SH SEE ALSO\n.BR gpsd (8),\n.BR gpspipe (1)\n";
    return page.str();
}

std::string BashCompletion(const CLI::App& app) {
    std::ostringstream script;
    script << "# bash completion for kovra-nmea, made from its options\n"
           << "_kovra_nmea() {\n"
           << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           << "    case $prev in\n";
    std::string options;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& l : option->get_lnames()) {
            options += (options.empty() ? "--" : " --") + l;
        }
        const std::string name = option->get_name(false, true);
        const std::vector<std::string> words = ValueWords(*option);
        std::string joined;
        for (const std::string& w : words) {
            joined += (joined.empty() ? "" : " ") + w;
        }
        if (!words.empty() && (name == "--sentences" || name == "--gnss")) {
            // A comma list: the words after what is typed up to the last comma.
            script << "        " << name << ") local head=${cur%,*}; [[ $cur == *,* ]] && head=\"$head,\" || head=\n"
                   << "            COMPREPLY=($(compgen -P \"$head\" -W \"" << joined << "\" -- \"${cur##*,}\")); "
                   << "compopt -o nospace; return ;;\n";
        } else if (!words.empty()) {
            script << "        " << name << ") COMPREPLY=($(compgen -W \"" << joined << "\" -- \"$cur\")); return ;;\n";
        } else if (TakesAFile(*option)) {
            script << "        " << name << ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
        } else if (option->get_type_size() != 0) {
            script << "        " << name << ") return ;;\n";  // a value of the user's own
        }
    }
    script << "    esac\n"
           << "    COMPREPLY=($(compgen -W \"" << options << "\" -- \"$cur\"))\n"
           << "}\n"
           << "complete -o default -F _kovra_nmea kovra-nmea\n";
    return script.str();
}

}  // namespace kovra::app
