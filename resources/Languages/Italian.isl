; Segmora language file: Italian.
; UTF-8 text. The section [FrmMP3Editor] sets the window's texts: a key is a
; control's name and one of its properties (Label13.Caption, ImageStart.Hint),
; or a property of the window itself (Caption). [Messages] holds the texts the
; window shows in its boxes and busy panel; in Ms_NotSaveName "#13#10" is a
; line break. Spaces around keys and values are dropped.

[FrmMP3Editor]
Caption=Segmora
Label11.Caption=Segmora versione 2.3.7.0
Label28.Caption=>> Lingua
RzBmpButton1.Hint=Chiudi
RzBmpButton2.Hint=Riduci a icona
BtnOpenMp3.Hint=Apri un file MP3
BtnSaveMp3.Hint=Salva il brano come nuovo file MP3
BtnSp.Hint=Sostieni Segmora
BtnAbout.Hint=Apri la guida nel browser
LabelStart.Caption=Inizio
LabelEnd.Caption=Fine
BtnSetStart.Hint=Usa la posizione attuale come inizio
BtnSetEnd.Hint=Usa la posizione attuale come fine
BtnPlayStart.Caption=&Riproduci
BtnStop.Caption=&Ferma
BtnPlay2.Hint=Riproduci da...
PM_Play.Caption=Riproduci dalla posizione attuale
PM_FromStart.Caption=Riproduci da ①
PM_FromEnd.Caption=Riproduci da ②
PM_PlaySelection.Caption=Riproduci la selezione
PM_PlayAfterStart.Caption=Riproduci 3 secondi da ①
PM_PlayBeforeEnd.Caption=Riproduci 3 secondi fino a ②
CutTexts.Selection=Selezione: %1
CutTexts.Frames=%1 frame
CutTexts.Saved=Salvato: %1
CutTexts.Nudge=←/→ un frame, Maiusc+←/→ un secondo, Ctrl+←/→ dieci secondi
ImageStart.Hint=Trascina per impostare l'inizio
ImageEnd.Hint=Trascina per impostare la fine
Label25.Caption=Apertura...
Label12.Caption=Apri un MP3, trascina ① e ② per segnare il brano, poi salvalo come nuovo MP3.
TabSheet2.Caption=Generale
Label23.Caption=Dimensione:
Label13.Caption=Formato:
Label14.Caption=Canali:
Label15.Caption=Frequenza:
Label16.Caption=Bitrate:
Label17.Caption=Durata:
TabSheet1.Caption=Tag ID3v1
RzCheckBox1.Caption=Includi
Label3.Caption=Titolo:
Label4.Caption=Artista:
Label5.Caption=Album:
Label9.Caption=Genere:
Label8.Caption=Traccia:
Label6.Caption=Anno:
Label7.Caption=Commento:
OpenDialog1.Title=Apri file MP3
SaveDialog1.Title=Salva file MP3
PM_English.Caption=English
PM_Spanish.Caption=Español
PM_German.Caption=Deutsch
PM_Italian.Caption=Italiano
PM_French.Caption=Français

[Messages]
Ms_Opening=Apertura...
Ms_Waiting=Attendere...
Ms_AppError=Impossibile avviare il programma. Installarlo da un pacchetto ufficiale.
Ms_Error=Errore
Ms_Pos=Posizione attuale
Ms_Unknow=Sconosciuto
Ms_Mono=Mono
Ms_Stereo=Stereo
Ms_Info=Informazione
Ms_NotMP3=Non è un file MP3.
Ms_NotSaveName=Scegliere un altro nome di file. Impossibile salvare come:#13#10
Ms_NotSave=Impossibile salvare il file MP3.
Ms_ClipErr=Il punto finale deve venire dopo il punto iniziale.
Ms_PlayErr=Impossibile riprodurre il file.
