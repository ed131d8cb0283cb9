// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/DownloadFailure.h"

#include "platform/InstallationText.h"

#include <QCoreApplication>

namespace parlune {

namespace {

QString translated(const char* text)
{
    return QCoreApplication::translate("DownloadFailure", text);
}

// The usual statuses in a word; others by their code alone.
QString statusMeaning(int status)
{
    switch (status) {
    case 401:
    case 403:
        return translated("accès refusé");
    case 404:
    case 410:
        return translated("fichier introuvable");
    case 429:
        return translated("trop de demandes");
    case 500:
        return translated("erreur du serveur");
    case 502:
    case 503:
    case 504:
        return translated("serveur indisponible");
    }
    return {};
}

} // namespace

QString DownloadFailure::description(const QString& subject) const
{
    QString why;
    switch (kind) {
    case Kind::cancelled:
        why = translated("téléchargement du modèle annulé.");
        break;
    case Kind::hostNotFound:
        why =
            translated("le serveur %1 est introuvable ; l'ordinateur est-il connecté à Internet ?").arg(host);
        break;
    case Kind::connectionRefused:
        why = translated("le serveur %1 refuse la connexion.").arg(host);
        break;
    case Kind::offline:
        why = translated("pas de connexion au réseau.");
        break;
    case Kind::timedOut:
        why = translated("le serveur %1 ne répond plus ; le téléchargement reprendra où il s'est arrêté.")
                  .arg(host);
        break;
    case Kind::interrupted:
        why = translated("le téléchargement a été interrompu ; il reprendra où il s'est arrêté.");
        break;
    case Kind::serverStatus: {
        const QString meaning = statusMeaning(status);
        why = meaning.isEmpty() ? translated("le serveur a répondu %1.").arg(status)
                                : translated("le serveur a répondu %1 (%2).").arg(status).arg(meaning);
        break;
    }
    case Kind::wrongSize:
        why = translated("le serveur n'envoie pas le fichier attendu.");
        break;
    case Kind::checksum:
        why = fileName.isEmpty()
                  ? translated("le modèle téléchargé est endommagé (somme de contrôle incorrecte).")
                  : translated("le fichier %1 téléchargé est endommagé (somme de contrôle incorrecte).")
                        .arg(fileName);
        break;
    case Kind::notEnoughRoom:
        why = translated("il faut %1 libres sur le disque, il n'en reste que %2.")
                  .arg(InstallationText::size(needed), InstallationText::size(available));
        break;
    case Kind::diskFull:
        why = translated("le disque est plein, le modèle n'a pas pu être enregistré.");
        break;
    case Kind::writeFailed:
        why = translated("le modèle n'a pas pu être enregistré (%1).").arg(detail);
        break;
    case Kind::folder:
        why = translated("le dossier des modèles n'a pas pu être créé.");
        break;
    case Kind::unpacking:
        // The library's own words (`detail`) would mean little to the user.
        why = translated("l'archive du modèle est illisible, elle n'a pas pu être décompressée.");
        break;
    case Kind::noModel:
        why = translated("l'archive téléchargée ne contient pas de modèle de reconnaissance.");
        break;
    case Kind::installing:
        why = translated("le modèle n'a pas pu être installé.");
        break;
    }
    return subject + QStringLiteral(" : ") + why;
}

} // namespace parlune
