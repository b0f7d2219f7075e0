; Segmora language file: Spanish.
; UTF-8 text. The section [FrmMP3Editor] sets the window's texts: a key is a
; control's name and one of its properties (Label13.Caption, ImageStart.Hint),
; or a property of the window itself (Caption). [Messages] holds the texts the
; window shows in its boxes and busy panel; in Ms_NotSaveName "#13#10" is a
; line break. Spaces around keys and values are dropped.

[FrmMP3Editor]
Caption=Segmora
Label11.Caption=Segmora versión 2.3.7.0
Label28.Caption=>> Idioma
RzBmpButton1.Hint=Cerrar
RzBmpButton2.Hint=Minimizar
BtnOpenMp3.Hint=Abrir un archivo MP3
BtnSaveMp3.Hint=Guardar el fragmento como un nuevo archivo MP3
BtnSp.Hint=Apoyar a Segmora
BtnAbout.Hint=Abrir la guía en el navegador
LabelStart.Caption=Inicio
LabelEnd.Caption=Fin
BtnSetStart.Hint=Usar la posición actual como inicio
BtnSetEnd.Hint=Usar la posición actual como fin
BtnPlayStart.Caption=&Escuchar
BtnStop.Caption=&Detener
BtnPlay2.Hint=Reproducir desde...
PM_Play.Caption=Reproducir desde la posición actual
PM_FromStart.Caption=Reproducir desde ①
PM_FromEnd.Caption=Reproducir desde ②
PM_PlaySelection.Caption=Reproducir la selección
PM_PlayAfterStart.Caption=Reproducir 3 segundos desde ①
PM_PlayBeforeEnd.Caption=Reproducir 3 segundos hasta ②
CutTexts.Selection=Selección: %1
CutTexts.Frames=%1 tramas
CutTexts.Saved=Guardado: %1
CutTexts.Nudge=←/→ una trama, Mayús+←/→ un segundo, Ctrl+←/→ diez segundos
ImageStart.Hint=Arrastre para fijar el inicio
ImageEnd.Hint=Arrastre para fijar el fin
Label25.Caption=Abriendo...
Label12.Caption=Abra un MP3, arrastre ① y ② para marcar el fragmento y guárdelo como nuevo MP3.
TabSheet2.Caption=General
Label23.Caption=Tamaño:
Label13.Caption=Formato:
Label14.Caption=Canales:
Label15.Caption=Frecuencia:
Label16.Caption=Tasa de bits:
Label17.Caption=Duración:
TabSheet1.Caption=Etiqueta ID3v1
RzCheckBox1.Caption=Incluir
Label3.Caption=Título:
Label4.Caption=Artista:
Label5.Caption=Álbum:
Label9.Caption=Género:
Label8.Caption=Pista:
Label6.Caption=Año:
Label7.Caption=Comentario:
OpenDialog1.Title=Abrir archivo MP3
SaveDialog1.Title=Guardar archivo MP3
PM_English.Caption=English
PM_Spanish.Caption=Español
PM_German.Caption=Deutsch
PM_Italian.Caption=Italiano
PM_French.Caption=Français

[Messages]
Ms_Opening=Abriendo...
Ms_Waiting=Espere, por favor...
Ms_AppError=No se pudo iniciar el programa. Instálelo desde un paquete oficial.
Ms_Error=Error
Ms_Pos=Posición actual
Ms_Unknow=Desconocido
Ms_Mono=Mono
Ms_Stereo=Estéreo
Ms_Info=Información
Ms_NotMP3=No es un archivo MP3.
Ms_NotSaveName=Elija otro nombre de archivo. No se puede guardar como:#13#10
Ms_NotSave=No se pudo guardar el archivo MP3.
Ms_ClipErr=El punto final debe estar después del punto inicial.
Ms_PlayErr=No se pudo reproducir el archivo.
