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
frmOptionsForm.btnOK.Caption=ОК
frmOptionsForm.btnCancel.Caption=Отмена
frmOptionsForm.pgGeneral.Caption=Общие:GENERAL
frmOptionsForm.lblGeneral.Caption=" Общие настройки"
frmOptionsForm.lblStartup.Caption="Запуск и завершение "
frmOptionsForm.cbxStartup.Caption=&Запускать вместе с Windows
frmOptionsForm.cbxCheckForUpdates.Caption=&Проверять обновления при запуске
frmOptionsForm.lblLanguageSettings.Caption="Язык "
frmOptionsForm.lblLanguages.Caption=&Язык интерфейса:
frmOptionsForm.btnGetLatestVersion.Caption=Новая версия...
frmOptionsForm.TabSheet1.Caption=Избранное:FAVORITES
frmOptionsForm.Label1.Caption=" Избранные веб-камеры"
frmOptionsForm.lstFavorites.Columns=Описание
frmOptionsForm.mnuOpenCamera.Caption=&Открыть...
frmOptionsForm.mnuSettings.Caption=&Настройки...
frmOptionsForm.mnuDelete.Caption=&Удалить

[Messages]
nCharset=204
vchAbout=О программе
vchOptions=Настройки
vchClearPersonalSettings=Удалить ваши личные настройки программы %s?
