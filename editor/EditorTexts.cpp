// The Chinese edition's texts: it carries its captions, hints, fonts,
// message texts and button faces built in.
#include "editor/UnitMP3Editor.h"

#include "editor/CuttingAids.h"
#include "editor/EditorCommon.h"

void TFrmMP3Editor::ApplyChineseTexts() {
    Label28->hide();

    Ms_Opening = QStringLiteral("正在打开......");
    Ms_Waiting = QStringLiteral("请稍等......");
    Ms_AppError = QStringLiteral("程序初始化错误！\n\r请使用官方发布的安装包进行安装。\n\r"
                                 "如果您是Win7系统，安装时请以管理员身份登录。");
    Ms_Error = QStringLiteral("错误");
    Ms_Pos = QStringLiteral("当前位置");
    Ms_Unknow = QStringLiteral("未知");
    Ms_Mono = QStringLiteral("单声道");
    Ms_Stereo = QStringLiteral("立体声");
    Ms_Info = QStringLiteral("信息");
    Ms_NotMP3 = QStringLiteral("不是MP3文件");
    Ms_NotSaveName = QStringLiteral("请使用其他文件名，不能保存为：\r\n");
    Ms_NotSave = QStringLiteral("不能保存MP3文件");
    Ms_ClipErr = QStringLiteral("结束点必须大于起始点");
    PlayErrorText = QStringLiteral("无法播放。");
    // Qt's own dialogs and buttons speak Chinese too.
    SetToolkitLanguage(QStringLiteral("zh_CN"));

    const QString SongTi = QStringLiteral("宋体");
    setFont(PointFont(SongTi, 9));
    Label11->setFont(PointFont(QStringLiteral("微软雅黑"), 10, Label11->font().bold()));
    LabelStart->setFont(PointFont(SongTi, 9));
    LabelEnd->setFont(PointFont(SongTi, 9));
    Label25->setFont(PointFont(SongTi, 9));

    SetApplicationTitle(QStringLiteral("Segmora"));
    Label11->SetCaption(QStringLiteral("Segmora 2.3.7.0"));

    RzBmpButton2->setToolTip(QStringLiteral("最小化"));
    RzBmpButton1->setToolTip(QStringLiteral("关闭"));
    BtnPlayStart->setText(QStringLiteral("播 放"));
    BtnStop->setText(QStringLiteral("停 止"));
    LabelStart->SetCaption(QStringLiteral("起始点"));
    LabelEnd->SetCaption(QStringLiteral("结束点"));
    Label1->SetCaption(ZeroTimeCode);
    Label25->SetCaption(Ms_Opening);
    TabSheet2->SetCaption(QStringLiteral("常规"));
    Label23->SetCaption(QStringLiteral("文件大小:"));
    Label13->SetCaption(QStringLiteral("编码:"));
    Label14->SetCaption(QStringLiteral("声道:"));
    Label15->SetCaption(QStringLiteral("频率:"));
    Label16->SetCaption(QStringLiteral("码率:"));
    Label17->SetCaption(QStringLiteral("播放时长:"));
    RzCheckBox1->setText(QStringLiteral("包含"));
    Label3->SetCaption(QStringLiteral("标题:"));
    Label4->SetCaption(QStringLiteral("艺术家:"));
    Label5->SetCaption(QStringLiteral("专辑:"));
    Label9->SetCaption(QStringLiteral("流派:"));
    Label8->SetCaption(QStringLiteral("音轨:"));
    Label6->SetCaption(QStringLiteral("年代:"));
    Label7->SetCaption(QStringLiteral("备注:"));
    ImageStart->setToolTip(QStringLiteral("用鼠标拖动设定起始点"));
    ImageEnd->setToolTip(QStringLiteral("用鼠标拖动设定结束点"));
    Label12->SetCaption(QStringLiteral("点击“打开”选择MP3文件，拖动①和②设定起止点，然后点击“保存”新MP3文件。"));
    BtnSetStart->setToolTip(QStringLiteral("当前位置设为起始点"));
    BtnSetEnd->setToolTip(QStringLiteral("当前位置设为结束点"));
    SaveDialog1->Title = QStringLiteral("保存mp3文件");
    OpenDialog1->Title = QStringLiteral("打开mp3文件");

    BtnOpenMp3->Up = ImageList1[0];
    BtnOpenMp3->Hot = ImageList1[1];
    BtnSaveMp3->Up = ImageList1[2];
    BtnSaveMp3->Hot = ImageList1[3];
    BtnSaveMp3->Disabled = ImageList1[4];
    BtnAbout->Up = ImageList1[5];
    BtnAbout->Hot = ImageList1[6];
    for (QWidget* Button : {BtnOpenMp3, BtnSaveMp3, BtnAbout}) Button->update();
    if (CuttingAids) CuttingAids->ApplyChineseTexts();
}
