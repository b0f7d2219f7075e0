; Segmora language file: English.
; UTF-8 text. The section [FrmMP3Editor] sets the window's texts: a key is a
; control's name and one of its properties (Label13.Caption, ImageStart.Hint),
; or a property of the window itself (Caption). [Messages] holds the texts the
; window shows in its boxes and busy panel; in Ms_NotSaveName "#13#10" is a
; line break. Spaces around keys and values are dropped.

[FrmMP3Editor]
Caption=Segmora
Label11.Caption=Segmora version 2.3.7.0
Label28.Caption=>> Language
RzBmpButton1.Hint=Close
RzBmpButton2.Hint=Minimize
BtnOpenMp3.Hint=Open an MP3 file
BtnSaveMp3.Hint=Save the piece as a new MP3 file
BtnSp.Hint=Support Segmora
BtnAbout.Hint=Open the guide in your browser
LabelStart.Caption=Start
LabelEnd.Caption=End
BtnSetStart.Hint=Set the current position as start
BtnSetEnd.Hint=Set the current position as end
BtnPlayStart.Caption=&Play
BtnStop.Caption=&Stop
BtnPlay2.Hint=Play from...
PM_Play.Caption=Play from the current position
PM_FromStart.Caption=Play from ①
PM_FromEnd.Caption=Play from ②
PM_PlaySelection.Caption=Play the selection
PM_PlayAfterStart.Caption=Play 3 seconds from ①
PM_PlayBeforeEnd.Caption=Play 3 seconds up to ②
CutTexts.Selection=Selection: %1
CutTexts.Frames=%1 frames
CutTexts.Saved=Saved: %1
CutTexts.Nudge=←/→ one frame, Shift+←/→ one second, Ctrl+←/→ ten seconds
ImageStart.Hint=Drag to set the start
ImageEnd.Hint=Drag to set the end
Label25.Caption=Opening...
Label12.Caption=Open an MP3 file, drag ① and ② to mark the piece, then save it as a new MP3 file.
TabSheet2.Caption=General
Label23.Caption=File size:
Label13.Caption=Encoding:
Label14.Caption=Channels:
Label15.Caption=Sample rate:
Label16.Caption=Bit rate:
Label17.Caption=Length:
TabSheet1.Caption=ID3v1 tag
RzCheckBox1.Caption=Include
Label3.Caption=Title:
Label4.Caption=Artist:
Label5.Caption=Album:
Label9.Caption=Genre:
Label8.Caption=Track:
Label6.Caption=Year:
Label7.Caption=Comment:
OpenDialog1.Title=Open MP3 file
SaveDialog1.Title=Save MP3 file
PM_English.Caption=English
PM_Spanish.Caption=Español
PM_German.Caption=Deutsch
PM_Italian.Caption=Italiano
PM_French.Caption=Français

[Messages]
Ms_Opening=Opening...
Ms_Waiting=Please wait...
Ms_AppError=The program could not be initialised. Please install it from an official release package.
Ms_Error=Error
Ms_Pos=Current position
Ms_Unknow=Unknown
Ms_Mono=Mono
Ms_Stereo=Stereo
Ms_Info=Information
Ms_NotMP3=This is not an MP3 file.
Ms_NotSaveName=Please choose another file name. The piece cannot be saved as:#13#10
Ms_NotSave=The MP3 file could not be saved.
Ms_ClipErr=The end mark must come after the start mark.
Ms_PlayErr=The file could not be played.
