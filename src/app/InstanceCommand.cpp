// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InstanceCommand.h"

#include <array>
#include <utility>

namespace parlune {

namespace {

using namespace std::string_view_literals;

constexpr std::array words{
    std::pair{InstanceCommand::reopen, "reopen"sv}, std::pair{InstanceCommand::toggle, "toggle"sv},
    std::pair{InstanceCommand::press, "press"sv},   std::pair{InstanceCommand::release, "release"sv},
    std::pair{InstanceCommand::cancel, "cancel"sv}, std::pair{InstanceCommand::shortcut, "shortcut"sv},
};

constexpr std::string_view usage = R"(Utilisation : parlune [OPTION]

Sans option, lance Parlune, ou ramène sa fenêtre au premier plan s'il tourne déjà.

Commandes à associer à une touche dans les réglages du bureau (elles lancent Parlune au besoin) :
  --press             appuie sur le raccourci de dictée
  --release           relâche le raccourci de dictée
  --toggle            démarre une dictée mains libres, ou termine celle en cours
  --cancel            abandonne la dictée en cours, comme Échap
  --shortcut          pour un bureau qui relance la commande tant que les touches restent
                      enfoncées (GNOME) : la première fois appuie, la fin des répétitions relâche

Autres modes :
  --autostart         lancement à l'ouverture de session, sans fenêtre si rien n'attend
  --check-dictation   vérifie toute la chaîne de dictée (journal et sortie d'erreur)
  --snapshot FICHIER  écrit une image PNG de la fenêtre principale, puis quitte
  --help              affiche cette aide

Voir aussi : man parlune
)";

} // namespace

std::string_view commandWord(InstanceCommand command)
{
    for (const auto& [each, word] : words)
        if (each == command)
            return word;
    return {};
}

std::optional<InstanceCommand> commandFromWord(std::string_view word)
{
    for (const auto& [command, each] : words)
        if (each == word)
            return command;
    return std::nullopt;
}

CommandLine CommandLine::parse(int argc, const char* const* argv)
{
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
            continue;
        }
        if (!argument.starts_with("--"))
            continue;
        // A plain launch says "reopen" by itself; it is no option.
        const std::optional<InstanceCommand> command = commandFromWord(argument.substr(2));
        if (!command || *command == InstanceCommand::reopen)
            continue;
        if (line.command && *line.command != *command) {
            line.error = "parlune : une seule commande à la fois (" + std::string("--") +
                         std::string(commandWord(*line.command)) + " et " + std::string(argument) + ").";
            return line;
        }
        line.command = command;
    }
    return line;
}

std::string_view usageText()
{
    return usage;
}

} // namespace parlune
