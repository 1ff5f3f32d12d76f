[Translations]
frmTipsForm.Caption=Совет дня
frmTipsForm.btnNextTip.Caption=&Далее
frmTipsForm.btnClose.Caption=&Закрыть
frmTipsForm.cbxShowTipNextTime.Caption=&Показывать при запуске
frmTipsForm.lblDidYouKnow.Caption=Знаете ли вы...
AboutForm.Caption=О программе %s
AboutForm.lblPropositions.Caption=Другие интересные предложения от %s:
AboutForm.OKButton.Caption=ОК
AboutForm.HelpButton.Caption=&Справка

[Messages]
nCharset=204
vchAbout=О программе
vchOptions=Настройки
vchClearPersonalSettings=Удалить ваши личные настройки программы %s?
