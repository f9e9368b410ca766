#include "docgen.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "frame/version.h"
#include "render/output.h"

namespace docgen {

namespace {

std::vector<std::string> Lines(const char *text)
{
    std::vector<std::string> lines;
    if (!text)
        return lines;
    std::string_view rest(text);
    for (;;) {
        size_t end = rest.find('\n');
        lines.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos)
            return lines;
        rest.remove_prefix(end + 1);
    }
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void AddOnce(std::vector<std::string> &list, const std::string &item)
{
    if (std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}

bool MentionsFile(std::string_view token)
{
    // A placeholder that names a file: <file>, <image file>, <template file> ...
    size_t open = token.find('<');
    while (open != std::string_view::npos) {
        size_t close = token.find('>', open);
        if (close == std::string_view::npos)
            return false;
        if (token.substr(open, close - open).find("file") != std::string_view::npos)
            return true;
        open = token.find('<', close);
    }
    return false;
}

// Characters a completion word may hold without quoting.
bool ShellSafe(std::string_view word)
{
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-_.:/=+", c);
    });
}

// A word as a case pattern of the script: quoted, so "-?" matches itself.
std::string Pattern(std::string_view word) { return "'" + std::string(word) + "'"; }

// The spelling the script compares: lower case, "--" and "/" as one '-'
// ("--fc" is a sub-option of its own), as _volk_plain makes it.
std::string Plain(std::string_view word)
{
    std::string w = Lower(word);
    if (w == "--fc")
        return w;
    if (w.rfind("--", 0) == 0)
        return "-" + w.substr(2);
    if (w.rfind("/", 0) == 0)
        return "-" + w.substr(1);
    return w;
}

std::string Joined(const std::vector<std::string> &words, const char *sep = " ")
{
    std::string out;
    for (const std::string &w : words)
        out += (out.empty() ? "" : sep) + w;
    return out;
}

} // namespace

std::vector<std::string> SyntaxTokens(std::string_view line)
{
    std::vector<std::string> tokens;
    std::string token;
    int depth = 0;
    for (char c : line) {
        if (c == '<' || c == '[')
            ++depth;
        else if ((c == '>' || c == ']') && depth > 0)
            --depth;
        if (c == ' ' && depth == 0) {
            if (!token.empty())
                tokens.push_back(std::move(token));
            token.clear();
            continue;
        }
        token += c;
    }
    if (!token.empty())
        tokens.push_back(std::move(token));
    return tokens;
}

std::vector<std::string> Keywords(const HelpTopic &topic)
{
    std::vector<std::string> keywords;
    for (const std::string &line : Lines(topic.syntax)) {
        std::vector<std::string> tokens = SyntaxTokens(line);
        // The first token is the command word itself.
        for (size_t i = 1; i < tokens.size(); ++i) {
            std::string flat = tokens[i];
            // Placeholders go first (they may hold '|' and blanks), then brackets.
            std::string bare;
            int angle = 0;
            for (char c : flat) {
                if (c == '<') {
                    ++angle;
                    bare += '\x01';
                } else if (c == '>') {
                    angle = std::max(0, angle - 1);
                } else if (!angle) {
                    bare += c == '[' || c == ']' || c == ' ' ? '|' : c;
                }
            }
            std::stringstream pieces(bare);
            std::string piece;
            while (std::getline(pieces, piece, '|')) {
                if (piece.find('\x01') != std::string::npos || piece == "..." || !ShellSafe(piece))
                    continue;
                AddOnce(keywords, piece);
            }
        }
    }
    return keywords;
}

int FileAfter(const HelpTopic &topic)
{
    int best = -1;
    for (const std::string &line : Lines(topic.syntax)) {
        std::vector<std::string> tokens = SyntaxTokens(line);
        int required = 0;
        for (size_t i = 1; i < tokens.size(); ++i) {
            if (MentionsFile(tokens[i])) {
                if (best < 0 || required < best)
                    best = required;
                break;
            }
            if (tokens[i][0] != '[')
                ++required;
        }
    }
    return best;
}

std::vector<std::string> OptionSpellings(const UsageEntry &entry)
{
    std::vector<std::string> spellings;
    std::stringstream parts(entry.syntax);
    std::string part;
    while (std::getline(parts, part, ',')) {
        size_t start = part.find_first_not_of(' ');
        if (start == std::string::npos)
            continue;
        part = part.substr(start);
        part = part.substr(0, part.find(' '));
        if (ShellSafe(part) || part == "-?")
            spellings.push_back(part);
    }
    return spellings;
}

std::vector<CommandDoc> Commands()
{
    std::vector<CommandDoc> docs;
    for (const CommandRow &row : CommandTable()) {
        auto it = std::find_if(docs.begin(), docs.end(),
                               [&](const CommandDoc &d) { return d.topic == row.help; });
        if (it == docs.end()) {
            CommandDoc doc;
            doc.topic = row.help;
            doc.keywords = Keywords(*row.help);
            doc.fileAfter = FileAfter(*row.help);
            docs.push_back(std::move(doc));
            it = docs.end() - 1;
        }
        AddOnce(it->spellings, std::string(row.word));
        for (std::string_view alias : row.aliases)
            if (!alias.empty())
                AddOnce(it->spellings, std::string(alias));
    }
    return docs;
}

std::string RoffEscape(std::string_view text)
{
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        lineStart = c == '\n';
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

namespace {

void Paragraph(std::ostream &out, const std::string &text)
{
    out << ".PP\n" << RoffEscape(text) << "\n";
}

void Tagged(std::ostream &out, const std::string &tag, const std::string &text)
{
    out << ".TP\n.B " << RoffEscape(tag) << "\n" << RoffEscape(text) << "\n";
}

void CommandSection(std::ostream &out, const CommandDoc &doc)
{
    const HelpTopic &t = *doc.topic;
    out << ".SS " << RoffEscape(t.title) << "\n";
    out << ".nf\n";
    for (const std::string &line : Lines(t.syntax))
        out << "\\fBvolk\\fR " << RoffEscape(line) << "\n";
    out << ".fi\n";
    out << ".PP\n";
    for (const std::string &line : Lines(t.description))
        out << RoffEscape(line) << "\n";
    if (doc.spellings.size() > 1) {
        std::vector<std::string> others(doc.spellings.begin() + 1, doc.spellings.end());
        out << ".PP\nAlso spelled " << RoffEscape(Joined(others, ", ")) << ".\n";
    }
    if (!t.options)
        return;
    out << ".RS\n";
    for (const std::string &line : Lines(t.options)) {
        size_t tab = line.find('\t');
        if (tab == 0) {
            out << RoffEscape(line.substr(1)) << "\n";
            continue;
        }
        Tagged(out, line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1));
    }
    out << ".RE\n";
}

void ExitStatusSection(std::ostream &out, std::string_view exitCodes)
{
    out << ".SH EXIT STATUS\n";
    Paragraph(out, "The exit status is the status of the command: 0 for success, else a code "
                   "that names the failure; a command line that cannot be parsed exits with 134. "
                   "\"volk -ei\" lists every code with its name and description.");
    Paragraph(out, "A shell sees only the low 8 bits of an exit status, so a code above 255 "
                   "arrives as the code modulo 256 and may meet a smaller code (1101 arrives "
                   "as 77, 287 as 31). Scripts that must tell such codes apart run volk with "
                   "--json: the document carries the whole code as \"status\".");
    std::vector<ExitCodeRow> rows;
    std::stringstream in{std::string(exitCodes)};
    std::string line;
    while (std::getline(in, line)) {
        ExitCodeRow row;
        if (ParseExitCodeLine((line + "\n").c_str(), row))
            rows.push_back(row);
    }
    std::map<long, std::vector<long>> bySeen; // what the shell sees -> codes
    for (const ExitCodeRow &r : rows)
        bySeen[r.code % 256].push_back(r.code);
    out << ".PP\nThe codes above 255, and what a shell sees of them:\n.TS\nl l l.\n"
        << "Code\tShell\tMeets\n";
    for (const ExitCodeRow &r : rows) {
        if (r.code <= 255)
            continue;
        std::vector<std::string> others;
        for (long c : bySeen[r.code % 256])
            if (c != r.code)
                others.push_back(std::to_string(c));
        out << r.code << "\t" << r.code % 256 << "\t"
            << (others.empty() ? "\\-" : Joined(others, ", ")) << "\n";
    }
    out << ".TE\n";
}

} // namespace

std::string ManPage(std::string_view exitCodes)
{
    std::ostringstream out;
    const std::string version =
        Format("%d.%d.%d.%d", kVersionMajor, kVersionMinor, kVersionRevision, kVersionBuild);
    out << "'\\\" t\n";
    out << ".\\\" Made from the command table at build time; edit the table, not this file.\n";
    out << ".TH VOLK 1 \"\" \"volk " << version << "\" \"User Commands\"\n";
    out << ".nh\n.ad l\n";
    out << ".SH NAME\nvolk \\- manage Fibre Channel host bus adapters and converged "
           "adapters\n";
    out << ".SH SYNOPSIS\n.B volk\n[\\fIglobal options\\fR] \\fIcommand\\fR "
           "[\\fIoperands\\fR]\n.br\n.B volk \\-h\n[\\fIcommand\\fR]\n";
    out << ".SH DESCRIPTION\n";
    Paragraph(out, "volk shows and changes the Fibre Channel host bus adapters and converged "
                   "adapters of this machine and their virtual ports: information, vital "
                   "product data, adapter parameters, flash images, targets, diagnostics, "
                   "monitors and beacons. One command line is one operation; its status is "
                   "the exit status.");
    Paragraph(out, "Command words, keywords and options match in any case and may start "
                   "with -, -- or / (--fc stays the FCoE sub-option). A word that starts with "
                   "/ where a command takes a file is the file, unless it is one of that "
                   "command's options.");
    out << ".SH COMMANDS\n";
    for (const CommandDoc &doc : Commands())
        CommandSection(out, doc);
    out << ".SH GLOBAL OPTIONS\n";
    for (const UsageEntry &o : GlobalOptions())
        Tagged(out, o.syntax, o.text);
    out << ".SH OPERANDS\n";
    for (const UsageEntry &o : OperandForms())
        Tagged(out, o.syntax, o.text);
    out << ".SH OUTPUT\n";
    Paragraph(out, "Text by default. With -x each command writes one XML document "
                   "(ISO-8859-1) ending in Status (0 or 1), ErrorMsg and Reboot; -x2 writes "
                   "the second XML form.");
    Paragraph(out, "With --json the same facts as -x are one JSON document (UTF-8): the "
                   "children of the XML root are its members; an element without attributes "
                   "or children is its text, any other an object of its attributes and "
                   "children; a name that occurs more than once under one parent is an "
                   "array. The trailer is \"status\" (the whole exit code, also above 255), "
                   "\"ErrorMsg\" and \"Reboot\". Help is text only.");
    ExitStatusSection(out, exitCodes);
    out << ".SH FILES\n";
    Tagged(out, "<sysconfdir>/volk/",
           "The installation directory: brask.properties (switches), menu.properties, "
           "agent.properties (adapter and port aliases), flashcfg.properties (flash wizard), "
           "adapters.properties, fcvolk-exitcodes.txt, nvramdefs/ and messages.txt (-o "
           "system). Files that hold the user's settings are never replaced by an install "
           "or an upgrade. A volk started from a build tree uses its own directory.");
    Tagged(out, "<prefix>/lib/volk/",
           "The libraries: libtavro.so, the device library, its SNIA vendor library "
           "libvnhbaapi.so, and agent.properties with the core keys.");
    Tagged(out, "/etc/hba.conf",
           "The SNIA HBA API configuration. The package lists the vendor library under "
           "com.vantor.corvane; otherwise each run lists it while it runs and leaves the "
           "file as it found it.");
    out << ".SH ENVIRONMENT\n";
    Tagged(out, "VNSDM_MACHINE", "Machine description of the simulated machine.");
    Tagged(out, "VNSDM_STATE", "State file of the simulated machine.");
    Tagged(out, "TAVRO_HBA_CONF", "Another SNIA HBA API configuration file than /etc/hba.conf.");
    Tagged(out, "TAVRO_CLOCK_SCALE", "Long waits run this many times faster (1 to 1000000).");
    out << ".SH EXAMPLES\n.nf\nvolk \\-g\nvolk \\-i all \\-\\-json\nvolk \\-b 0 image.bin\n"
           "volk \\-ei\n.fi\n";
    return out.str();
}

std::string BashCompletion()
{
    std::vector<CommandDoc> docs = Commands();
    std::vector<std::string> words, globals, fileOptions;
    for (const CommandDoc &d : docs)
        for (const std::string &s : d.spellings)
            if (ShellSafe(s))
                AddOnce(words, s);
    for (const UsageEntry &o : GlobalOptions()) {
        std::vector<std::string> spellings = OptionSpellings(o);
        for (const std::string &s : spellings)
            AddOnce(globals, s);
        if (MentionsFile(o.syntax) && !spellings.empty())
            fileOptions.push_back(spellings.front());
    }
    std::ostringstream out;
    out << "# bash completion for volk. Made from the command table at build time.\n";
    out << "_volk_words='" << Joined(words) << "'\n";
    out << "_volk_globals='" << Joined(globals) << "'\n\n";
    out << "# A spelling in its plain form: lower case, one leading '-' for '--' and '/'.\n";
    out << "_volk_plain()\n{\n    local w=\"${1,,}\"\n    case $w in\n"
           "        --fc) ;;\n        --*) w=\"-${w#--}\" ;;\n        /*) w=\"-${w#/}\" ;;\n"
           "    esac\n    printf '%s' \"$w\"\n}\n\n";
    out << "# The command a plain word names (its first spelling), or nothing.\n";
    out << "_volk_command()\n{\n    case $1 in\n";
    for (const CommandDoc &d : docs) {
        std::vector<std::string> patterns;
        for (const std::string &s : d.spellings)
            if (ShellSafe(s))
                patterns.push_back(Pattern(Plain(s)));
        if (!patterns.empty())
            out << "        " << Joined(patterns, "|") << ") printf '%s' "
                << Pattern(Plain(d.spellings[0])) << " ;;\n";
    }
    out << "    esac\n}\n\n";
    out << "# Keyword operands of a command.\n_volk_keywords()\n{\n    case $1 in\n";
    for (const CommandDoc &d : docs)
        if (!d.keywords.empty() && ShellSafe(d.spellings[0]))
            out << "        " << Pattern(Plain(d.spellings[0])) << ") printf '%s' '"
                << Joined(d.keywords) << "' ;;\n";
    out << "    esac\n}\n\n";
    out << "# How many operands come before a file name may stand; nothing: no file.\n";
    out << "_volk_file_after()\n{\n    case $1 in\n";
    for (const CommandDoc &d : docs)
        if (d.fileAfter >= 0 && ShellSafe(d.spellings[0]))
            out << "        " << Pattern(Plain(d.spellings[0])) << ") printf '%s' " << d.fileAfter
                << " ;;\n";
    out << "    esac\n}\n\n";
    std::vector<std::string> filePatterns;
    for (const std::string &o : fileOptions)
        filePatterns.push_back(Pattern(Plain(o)));
    const std::string fileOptionCase = filePatterns.empty() ? "'-f'" : Joined(filePatterns, "|");
    out << "_volk()\n{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev='' cmd='' w i n=0 after\n"
           "    COMPREPLY=()\n"
           "    ((COMP_CWORD > 0)) && prev=$(_volk_plain \"${COMP_WORDS[COMP_CWORD - 1]}\")\n"
           "    case $prev in\n"
           "        "
        << fileOptionCase
        << ")\n"
           "            compopt -o filenames 2>/dev/null\n"
           "            mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
           "            return 0 ;;\n"
           "    esac\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        w=$(_volk_plain \"${COMP_WORDS[i]}\")\n"
           "        if [[ -z $cmd ]]; then\n"
           "            case $w in\n"
           "                "
        << fileOptionCase
        << "|'-o') ((i++)); continue ;;\n"
           "            esac\n"
           "            cmd=$(_volk_command \"$w\")\n"
           "        else\n"
           "            ((n++))\n"
           "        fi\n"
           "    done\n"
           "    if [[ -z $cmd ]]; then\n"
           "        mapfile -t COMPREPLY < <(compgen -W \"$_volk_words $_volk_globals\" -- "
           "\"$cur\")\n"
           "        return 0\n"
           "    fi\n"
           "    mapfile -t COMPREPLY < <(compgen -W \"$(_volk_keywords \"$cmd\")\" -- \"$cur\")\n"
           "    after=$(_volk_file_after \"$cmd\")\n"
           "    if [[ -n $after ]] && ((n >= after)); then\n"
           "        compopt -o filenames 2>/dev/null\n"
           "        local files\n"
           "        mapfile -t files < <(compgen -f -- \"$cur\")\n"
           "        COMPREPLY+=(\"${files[@]}\")\n"
           "    fi\n"
           "    return 0\n"
           "}\n"
           "complete -F _volk volk\n";
    return out.str();
}

} // namespace docgen
