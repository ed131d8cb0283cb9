<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<!-- The texts of the program that name things of another system, said as they are on the Linux desktop.
     Every other text is shown as written in the code. -->
<TS version="2.1" language="fr_FR" sourcelanguage="fr_FR">
<context>
    <name>parlune::OnboardingModel</name>
    <message>
        <source>Le texte s'écrit sous votre curseur, dans vos mails, vos messages ou vos documents. Votre voix ne quitte jamais ce Mac.</source>
        <translation>Le texte s'écrit sous votre curseur, dans vos mails, vos messages ou vos documents. Votre voix ne quitte jamais cet ordinateur.</translation>
    </message>
    <message>
        <source>Parlune n'écoute que pendant que vous tenez la touche. Le son est transcrit sur ce Mac, puis effacé.</source>
        <translation>Parlune n'écoute que pendant que vous tenez la touche. Le son est transcrit sur cet ordinateur, puis effacé.</translation>
    </message>
    <message>
        <source>macOS doit autoriser Parlune à repérer votre touche et à coller le texte. Cochez Parlune dans la liste qui s'ouvre, puis revenez ici.</source>
        <translation>Le bureau doit laisser Parlune repérer votre touche et coller le texte, ce que permet une session X11. Vérifiez les réglages d'accessibilité qui s'ouvrent, puis revenez ici.</translation>
    </message>
    <message>
        <source>Libérez la touche fn</source>
        <translation>Changez de touche</translation>
    </message>
    <message>
        <source>Pour l'instant, fn ouvre aussi les emojis ou la dictée d'Apple. Dans Réglages Système, puis Clavier, réglez la touche fn sur Ne rien faire.</source>
        <translation>Sur cet ordinateur, les applications ne voient pas la touche fn. Passez à la touche Ctrl de droite d'un clic, ou choisissez une autre touche juste en dessous.</translation>
    </message>
    <message>
        <source>Vous pourrez en changer à tout moment depuis l'icône de la barre des menus.</source>
        <translation>Vous pourrez en changer à tout moment depuis l'icône de la zone de notification.</translation>
    </message>
    <message>
        <source>Parlune reste dans la barre des menus. Gardez </source>
        <translation>Parlune reste dans la zone de notification. Gardez </translation>
    </message>
</context>
<context>
    <name>OnboardingView</name>
    <message>
        <source>Ouvrir Parlune au démarrage du Mac</source>
        <translation>Ouvrir Parlune à la connexion</translation>
    </message>
</context>
<context>
    <name>AppCoordinator</name>
    <message>
        <source>Aucun champ de texte actif : le texte est copié, collez-le avec ⌘V</source>
        <translation>Aucun champ de texte actif : le texte est copié, collez-le avec Ctrl+V</translation>
    </message>
</context>
<context>
    <name>SpeechEngine</name>
    <message>
        <source>%1 n'est pas disponible sur ce Mac.</source>
        <translation>%1 n'est pas disponible sur cet ordinateur.</translation>
    </message>
</context>
</TS>
