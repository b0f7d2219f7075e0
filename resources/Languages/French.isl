; Segmora language file: French.
; UTF-8 text. The section [FrmMP3Editor] sets the window's texts: a key is a
; control's name and one of its properties (Label13.Caption, ImageStart.Hint),
; or a property of the window itself (Caption). [Messages] holds the texts the
; window shows in its boxes and busy panel; in Ms_NotSaveName "#13#10" is a
; line break. Spaces around keys and values are dropped.

[FrmMP3Editor]
Caption=Segmora
Label11.Caption=Segmora version 2.3.7.0
Label28.Caption=>> Langue
RzBmpButton1.Hint=Fermer
RzBmpButton2.Hint=Réduire
BtnOpenMp3.Hint=Ouvrir un fichier MP3
BtnSaveMp3.Hint=Enregistrer l'extrait dans un nouveau fichier MP3
BtnSp.Hint=Soutenir Segmora
BtnAbout.Hint=Ouvrir le guide dans le navigateur
LabelStart.Caption=Début
LabelEnd.Caption=Fin
BtnSetStart.Hint=Prendre la position actuelle comme début
BtnSetEnd.Hint=Prendre la position actuelle comme fin
BtnPlayStart.Caption=&Lire
BtnStop.Caption=&Arrêter
BtnPlay2.Hint=Lire à partir de...
PM_Play.Caption=Lire à partir de la position actuelle
PM_FromStart.Caption=Lire à partir de ①
PM_FromEnd.Caption=Lire à partir de ②
PM_PlaySelection.Caption=Lire la sélection
PM_PlayAfterStart.Caption=Lire 3 secondes depuis ①
PM_PlayBeforeEnd.Caption=Lire 3 secondes jusqu'à ②
CutTexts.Selection=Sélection : %1
CutTexts.Frames=%1 trames
CutTexts.Saved=Enregistré : %1
CutTexts.Nudge=←/→ une trame, Maj+←/→ une seconde, Ctrl+←/→ dix secondes
ImageStart.Hint=Faites glisser pour placer le début
ImageEnd.Hint=Faites glisser pour placer la fin
Label25.Caption=Ouverture...
Label12.Caption=Ouvrez un MP3, placez ① et ② autour de l'extrait, puis enregistrez-le en nouveau MP3.
TabSheet2.Caption=Général
Label23.Caption=Taille:
Label13.Caption=Encodage:
Label14.Caption=Canaux:
Label15.Caption=Fréquence:
Label16.Caption=Débit:
Label17.Caption=Durée:
TabSheet1.Caption=Tag ID3v1
RzCheckBox1.Caption=Inclure
Label3.Caption=Titre:
Label4.Caption=Artiste:
Label5.Caption=Album:
Label9.Caption=Genre:
Label8.Caption=Piste:
Label6.Caption=Année:
Label7.Caption=Commentaire:
OpenDialog1.Title=Ouvrir un fichier MP3
SaveDialog1.Title=Enregistrer le fichier MP3
PM_English.Caption=English
PM_Spanish.Caption=Español
PM_German.Caption=Deutsch
PM_Italian.Caption=Italiano
PM_French.Caption=Français

[Messages]
Ms_Opening=Ouverture...
Ms_Waiting=Veuillez patienter...
Ms_AppError=Le programme n'a pas pu démarrer. Installez-le à partir d'un paquet officiel.
Ms_Error=Erreur
Ms_Pos=Position actuelle
Ms_Unknow=Inconnu
Ms_Mono=Mono
Ms_Stereo=Stéréo
Ms_Info=Information
Ms_NotMP3=Ce n'est pas un fichier MP3.
Ms_NotSaveName=Choisissez un autre nom de fichier. Impossible d'enregistrer sous :#13#10
Ms_NotSave=Impossible d'enregistrer le fichier MP3.
Ms_ClipErr=La fin doit se trouver après le début.
Ms_PlayErr=Impossible de lire le fichier.
