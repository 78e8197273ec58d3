#include "cli/docs_writer.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "cli/cli_support.h"

#include "base/failure.h"

namespace quorvane::cli {
namespace {

std::vector<const CLI::App*> SubcommandsOf(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
}

std::vector<const CLI::Option*> OptionsOf(const CLI::App& app) {
  // Options in the hidden group (an empty group name) are not for users.
  return app.get_options([](const CLI::Option* o) { return !o->get_group().empty(); });
}

bool TakesValue(const CLI::Option& o) { return o.get_expected_max() > 0 && o.get_type_size_max() > 0; }

// The choices of an option checked against a set, from CLI11's type text
// such as "TEXT:{mdmf,sdmf}".
std::vector<std::string> ChoicesOf(const CLI::Option& o) {
  const std::string type = o.get_type_name();
  const auto open = type.find('{');
  const auto close = type.find('}', open);
  std::vector<std::string> choices;
  if (open == std::string::npos || close == std::string::npos) return choices;
  std::stringstream list(type.substr(open + 1, close - open - 1));
  for (std::string item; std::getline(list, item, ',');) {
    if (!item.empty()) choices.push_back(item);
  }
  return choices;
}

bool TakesPath(const CLI::Option& o) {
  for (const std::string& name : o.get_lnames()) {
    if (name == "output" || name == "script" || name == "log" || name == "body" || name == "files-from") return true;
  }
  return o.get_positional();
}

std::vector<std::string> NamesOf(const CLI::Option& o) {
  std::vector<std::string> names;
  for (const std::string& s : o.get_snames()) names.push_back("-" + s);
  for (const std::string& l : o.get_lnames()) names.push_back("--" + l);
  return names;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// ---- the manual page ----

std::string Roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  return out;
}

// Text lines as roff: a leading dot or quote would be read as a request.
void RoffParagraphs(std::ostream& out, const std::string& text) {
  std::stringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) {
      out << ".PP\n";
      continue;
    }
    const std::string escaped = Roff(line);
    if (escaped[0] == '.' || escaped[0] == '\'') out << "\\&";
    out << escaped << "\n";
  }
}

void ManOption(std::ostream& out, const CLI::Option& o) {
  out << ".TP\n";
  if (o.get_positional() && !o.nonpositional()) {
    out << ".I " << Roff(o.get_name(true)) << (o.get_expected_max() > 1 ? " ..." : "") << "\n";
  } else {
    std::string names;
    for (const std::string& n : NamesOf(o)) names += (names.empty() ? "" : ", ") + ("\\fB" + Roff(n) + "\\fR");
    if (TakesValue(o)) names += " \\fI" + Roff(o.get_type_name()) + "\\fR";
    out << names << "\n";
  }
  RoffParagraphs(out, o.get_description().empty() ? std::string("(no description)") : o.get_description());
}

void ManCommand(std::ostream& out, const CLI::App& sub, const std::string& path) {
  out << ".SS \"" << Roff(path) << "\"\n";
  RoffParagraphs(out, sub.get_description());
  for (const CLI::Option* o : OptionsOf(sub)) ManOption(out, *o);
  for (const CLI::App* child : SubcommandsOf(sub)) ManCommand(out, *child, path + " " + child->get_name());
}

std::string ManPage(const CLI::App& app) {
  std::ostringstream out;
  out << ".TH QUORVANE 1 \"\" \"" << Roff(kVersionText) << "\" \"User Commands\"\n"
      << ".SH NAME\nquorvane \\- test bench for telephony signal processing: DTMF digits, caller ID, digests\n"
      << ".SH SYNOPSIS\n.B quorvane\n.I command\n.RI [ options ]\n.RI [ arguments ]\n"
      << ".SH DESCRIPTION\n";
  RoffParagraphs(out, app.get_description());
  out << ".SH OPTIONS\n";
  for (const CLI::Option* o : OptionsOf(app)) ManOption(out, *o);
  out << ".SH COMMANDS\n";
  for (const CLI::App* sub : SubcommandsOf(app)) ManCommand(out, *sub, "quorvane " + sub->get_name());
  out << ".SH EXIT STATUS\n0 success; 1 an input could not be read or an output could not be written;\n"
         "2 a usage error. Commands that compare or check say more under their own heading.\n"
         ".SH ENVIRONMENT\n.TP\n.B QUORVANE_DRIVE_D\nThe folder that stands for drive d: (the fixed files of "
         "\\fBdehum\\fR and \\fBdrvscript\\fR); the current folder when unset.\n"
         ".SH SEE ALSO\n.BR quorvane\\-gui (1)\n";
  return out.str();
}

std::string GuiManPage() {
  std::ostringstream out;
  out << ".TH QUORVANE\\-GUI 1 \"\" \"" << Roff(kVersionText) << "\" \"User Commands\"\n"
      << ".SH NAME\nquorvane\\-gui \\- the quorvane window\n"
      << ".SH SYNOPSIS\n.B quorvane\\-gui\n"
      << ".SH DESCRIPTION\nOpens the quorvane window: DTMF detection and caller\\-ID decoding of 8 kHz mu\\-law\n"
         "recordings, a mu\\-law file generator, the hum remover, the digest test and the driver script.\n"
         "It takes no arguments. Every command of the window also exists on the command line.\n"
      << ".SH ENVIRONMENT\n.TP\n.B QUORVANE_DRIVE_D\nThe folder that stands for drive d:; the current folder when "
         "unset.\n"
      << ".SH SEE ALSO\n.BR quorvane (1)\n";
  return out.str();
}

// ---- bash ----

void BashCases(std::ostream& words, std::ostream& values, std::ostream& paths, const CLI::App& app,
               const std::string& path) {
  words << "    " << path << ") words=\"";
  const char* separator = "";
  for (const CLI::App* sub : SubcommandsOf(app)) {
    words << separator << sub->get_name();
    separator = " ";
  }
  for (const CLI::Option* o : OptionsOf(app)) {
    for (const std::string& n : NamesOf(*o)) {
      words << separator << n;
      separator = " ";
    }
    if (!TakesValue(*o) || !o->nonpositional()) continue;
    const std::vector<std::string> choices = ChoicesOf(*o);
    for (const std::string& n : NamesOf(*o)) {
      if (!choices.empty()) {
        values << "    \"" << path << " " << n << "\") COMPREPLY=($(compgen -W \"";
        for (std::size_t i = 0; i < choices.size(); ++i) values << (i ? " " : "") << choices[i];
        values << "\" -- \"$cur\")); return ;;\n";
      } else if (TakesPath(*o)) {
        paths << "    \"" << path << " " << n << "\") return ;;\n";
      } else {
        values << "    \"" << path << " " << n << "\") return ;;\n";
      }
    }
  }
  words << "\"" << (SubcommandsOf(app).empty() ? "" : "; commands=1") << " ;;\n";
  for (const CLI::App* sub : SubcommandsOf(app)) BashCases(words, values, paths, *sub, path + "/" + sub->get_name());
}

void BashCommandPaths(std::ostream& out, const CLI::App& app, const std::string& path) {
  for (const CLI::App* sub : SubcommandsOf(app)) {
    out << "      " << path << "/" << sub->get_name() << ") cmd=\"$cmd/$w\" ;;\n";
    BashCommandPaths(out, *sub, path + "/" + sub->get_name());
  }
}

std::string BashCompletion(const CLI::App& app) {
  std::ostringstream words, values, paths, commands;
  BashCases(words, values, paths, app, "quorvane");
  BashCommandPaths(commands, app, "quorvane");
  std::ostringstream out;
  out << "# bash completion for quorvane, generated from its own option definitions.\n"
      << "_quorvane() {\n"
      << "  local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
      << "  local cmd=quorvane w i words commands=\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "    w=${COMP_WORDS[i]}\n"
      << "    case \"$cmd/$w\" in\n"
      << commands.str() << "    esac\n"
      << "  done\n"
      << "  COMPREPLY=()\n"
      << "  # After an option that takes a value: its choices, a file, or nothing to offer.\n"
      << "  case \"$cmd $prev\" in\n"
      << values.str() << paths.str() << "  esac\n"
      << "  case \"$cmd\" in\n"
      << words.str() << "  esac\n"
      << "  if [[ $cur == -* || -n $commands ]]; then\n"
      << "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
      << "  fi\n"
      << "}\n"
      << "complete -o default -F _quorvane quorvane\n";
  return out.str();
}

// ---- zsh ----

std::string ZshText(const std::string& text) {
  std::string out;
  for (char c : FirstLine(text)) {
    if (c == '\'') out += "'\\''";
    else if (c == '[' || c == ']' || c == ':' || c == '\\') out += std::string("\\") + c;
    else out += c;
  }
  return out;
}

std::string ZshFunction(const CLI::App& app) { return "_" + app.get_name(); }

void ZshFunctions(std::ostream& out, const CLI::App& app, const std::string& function) {
  const std::vector<const CLI::App*> subs = SubcommandsOf(app);
  for (const CLI::App* sub : subs) ZshFunctions(out, *sub, function + ZshFunction(*sub));
  out << function << "() {\n  local context state state_descr line\n  typeset -A opt_args\n  _arguments -C -s \\\n";
  for (const CLI::Option* o : OptionsOf(app)) {
    const std::string help = ZshText(o->get_description());
    if (!o->nonpositional()) {
      out << "    '" << (o->get_expected_max() > 1 ? "*" : "") << ":" << ZshText(o->get_name(true)) << ":"
          << (TakesPath(*o) ? "_files" : "") << "' \\\n";
      continue;
    }
    std::string action;
    if (TakesValue(*o)) {
      const std::vector<std::string> choices = ChoicesOf(*o);
      std::string values;
      for (const std::string& c : choices) values += (values.empty() ? "" : " ") + c;
      action = ":" + ZshText(o->get_type_name()) + ":" + (!choices.empty() ? "(" + values + ")" : TakesPath(*o) ? "_files" : " ");
    }
    for (const std::string& n : NamesOf(*o)) out << "    '" << n << "[" << help << "]" << action << "' \\\n";
  }
  if (!subs.empty()) out << "    '1: :->command' \\\n    '*:: :->argument' \\\n";
  out << "    && return\n";
  if (!subs.empty()) {
    out << "  case $state in\n    command)\n      local -a commands=(\n";
    for (const CLI::App* sub : subs) out << "        '" << sub->get_name() << ":" << ZshText(sub->get_description()) << "'\n";
    out << "      )\n      _describe -t commands command commands ;;\n    argument)\n      case $line[1] in\n";
    for (const CLI::App* sub : subs) out << "        " << sub->get_name() << ") " << function << ZshFunction(*sub) << " ;;\n";
    out << "      esac ;;\n  esac\n";
  }
  out << "}\n\n";
}

std::string ZshCompletion(const CLI::App& app) {
  std::ostringstream out;
  out << "#compdef quorvane\n# zsh completion for quorvane, generated from its own option definitions.\n\n";
  ZshFunctions(out, app, "_quorvane");
  out << "_quorvane \"$@\"\n";
  return out.str();
}

bool WriteText(const std::string& path, const std::string& text, std::string* error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) {
    Fail(error, path + ": could not be written");
    return false;
  }
  return true;
}

}  // namespace

bool WriteCliDocs(const CLI::App& app, const std::string& directory, std::string* error) {
  return WriteText(directory + "/quorvane.1", ManPage(app), error) &&
         WriteText(directory + "/quorvane-gui.1", GuiManPage(), error) &&
         WriteText(directory + "/quorvane.bash", BashCompletion(app), error) &&
         WriteText(directory + "/_quorvane", ZshCompletion(app), error);
}

}  // namespace quorvane::cli
