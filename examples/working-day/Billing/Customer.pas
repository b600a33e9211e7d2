unit Customer;

interface

uses
  Forms, StdCtrls;

type
  TCustomerForm = class(TForm)
    edtName: TEdit;
    btnSave: TButton;
  end;

var
  CustomerForm: TCustomerForm;

implementation

{$R *.DFM}

end.
