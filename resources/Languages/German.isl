; Segmora language file: German.
; UTF-8 text. The section [FrmMP3Editor] sets the window's texts: a key is a
; control's name and one of its properties (Label13.Caption, ImageStart.Hint),
; or a property of the window itself (Caption). [Messages] holds the texts the
; window shows in its boxes and busy panel; in Ms_NotSaveName "#13#10" is a
; line break. Spaces around keys and values are dropped.

[FrmMP3Editor]
Caption=Segmora
Label11.Caption=Segmora Version 2.3.7.0
Label28.Caption=>> Sprache
RzBmpButton1.Hint=Schließen
RzBmpButton2.Hint=Minimieren
BtnOpenMp3.Hint=MP3-Datei öffnen
BtnSaveMp3.Hint=Ausschnitt als neue MP3-Datei speichern
BtnSp.Hint=Segmora unterstützen
BtnAbout.Hint=Anleitung im Browser öffnen
LabelStart.Caption=Anfang
LabelEnd.Caption=Ende
BtnSetStart.Hint=Aktuelle Position als Anfang setzen
BtnSetEnd.Hint=Aktuelle Position als Ende setzen
BtnPlayStart.Caption=&Anhören
BtnStop.Caption=&Stopp
BtnPlay2.Hint=Abspielen ab...
PM_Play.Caption=Ab aktueller Position abspielen
PM_FromStart.Caption=Ab ① abspielen
PM_FromEnd.Caption=Ab ② abspielen
PM_PlaySelection.Caption=Auswahl abspielen
PM_PlayAfterStart.Caption=3 Sekunden ab ① abspielen
PM_PlayBeforeEnd.Caption=3 Sekunden bis ② abspielen
CutTexts.Selection=Auswahl: %1
CutTexts.Frames=%1 Frames
CutTexts.Saved=Gespeichert: %1
CutTexts.Nudge=←/→ ein Frame, Umschalt+←/→ eine Sekunde, Strg+←/→ zehn Sekunden
ImageStart.Hint=Ziehen, um den Anfang zu setzen
ImageEnd.Hint=Ziehen, um das Ende zu setzen
Label25.Caption=Wird geöffnet...
Label12.Caption=MP3-Datei öffnen, Ausschnitt mit ① und ② markieren, als neue MP3-Datei speichern.
TabSheet2.Caption=Allgemein
Label23.Caption=Dateigröße:
Label13.Caption=Kodierung:
Label14.Caption=Kanäle:
Label15.Caption=Abtastrate:
Label16.Caption=Datenrate:
Label17.Caption=Dauer:
TabSheet1.Caption=ID3v1-Tag
RzCheckBox1.Caption=Mitspeichern
Label3.Caption=Titel:
Label4.Caption=Interpret:
Label5.Caption=Album:
Label9.Caption=Genre:
Label8.Caption=Titelnr.:
Label6.Caption=Jahr:
Label7.Caption=Kommentar:
OpenDialog1.Title=MP3-Datei öffnen
SaveDialog1.Title=MP3-Datei speichern
PM_English.Caption=English
PM_Spanish.Caption=Español
PM_German.Caption=Deutsch
PM_Italian.Caption=Italiano
PM_French.Caption=Français

[Messages]
Ms_Opening=Wird geöffnet...
Ms_Waiting=Bitte warten...
Ms_AppError=Das Programm konnte nicht gestartet werden. Bitte aus einem offiziellen Paket installieren.
Ms_Error=Fehler
Ms_Pos=Aktuelle Position
Ms_Unknow=Unbekannt
Ms_Mono=Mono
Ms_Stereo=Stereo
Ms_Info=Hinweis
Ms_NotMP3=Das ist keine MP3-Datei.
Ms_NotSaveName=Bitte einen anderen Dateinamen wählen. Speichern nicht möglich als:#13#10
Ms_NotSave=Die MP3-Datei konnte nicht gespeichert werden.
Ms_ClipErr=Das Ende muss nach dem Anfang liegen.
Ms_PlayErr=Die Datei konnte nicht abgespielt werden.
