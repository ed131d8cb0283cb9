// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace parlune {

// What is known of the model in a folder: whether it loads, for the files the folder holds now. A model
// that the program has not seen load may end the process that loads it (a library that exits on a model
// without its metadata, or aborts on a damaged file), so it is loaded first in a child process, once:
// the verdict is kept in the folder itself, beside the files it speaks for, and stands while their
// names, sizes and modification times stay the same. A model whose download was checked against its
// published SHA-256 loads without that check.
//
// A load in the program's own process leaves a mark in the folder while it runs. A mark left by a
// process that is gone tells that a load never finished: the verdict no longer counts until a child has
// checked the model again, so that a model that takes the program down cannot do it at every start.
//
// Plain file operations, usable from any thread. The program's files in the folder start with
// ".parlune-" and are not the model's.
class ModelVerdicts
{
public:
    enum class Verdict { unknown, loads, refused };

    // The names, sizes and modification times of the model's files, as one value.
    static QByteArray fingerprint(const QString& folder);
    // The verdict kept for `files`; unknown when there is none, it speaks of other files, or it cannot
    // be read.
    static Verdict verdict(const QString& folder, const QByteArray& files);
    // Keeps a verdict for `files`; `how` says what it comes from ("check", "download", "load"). False
    // when it cannot be written (a folder the user cannot write to is checked again next time).
    static bool record(const QString& folder, const QByteArray& files, Verdict verdict, const char* how);
    // The folder's model was downloaded and checked against its published SHA-256: it loads.
    static bool recordVerified(const QString& folder);

    // Whether a load in a process that is gone left its mark in the folder.
    static bool loadWasInterrupted(const QString& folder);
    // Forgets the marks of processes that are gone.
    static void forgetInterruptedLoads(const QString& folder);

    // The mark of a load in this process, for as long as it lives.
    class LoadMark
    {
    public:
        explicit LoadMark(const QString& folder);
        ~LoadMark();
        LoadMark(const LoadMark&) = delete;
        LoadMark& operator=(const LoadMark&) = delete;

    private:
        QString m_path;
    };
};

} // namespace parlune
